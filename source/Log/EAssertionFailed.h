#pragma once

#include "platform/Exception.h"

// An assertion of the logging framework failed; raised in every build, never fatal by itself.
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

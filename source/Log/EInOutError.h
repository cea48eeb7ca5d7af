#pragma once

#include "platform/Exception.h"

// A log file could not be created or written; carries the operating system's error code.
class EInOutError : public Exception {
public:
    EInOutError(const QString& message, int errorCode) : Exception(message), FErrorCode(errorCode) {}
    int ErrorCode() const noexcept { return FErrorCode; }

private:
    int FErrorCode;
};

#pragma once

#include "platform/TClientSocket.h"

// The TCP client to a scale read over Ethernet; the Ethernet panel sets it to blocking,
// with the scale's address as host and address, and the scale's port.
class TConfiguracaoOrigemSocket : public TClientSocket {
public:
    TConfiguracaoOrigemSocket();
};

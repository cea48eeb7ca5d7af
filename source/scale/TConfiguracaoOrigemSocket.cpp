#include "scale/TConfiguracaoOrigemSocket.h"

TConfiguracaoOrigemSocket::TConfiguracaoOrigemSocket() = default;

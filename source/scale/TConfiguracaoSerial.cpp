#include "scale/TConfiguracaoSerial.h"

#include <array>

TConfiguracaoSerial::TConfiguracaoSerial() = default;

int TConfiguracaoSerial::parseBaudRate(int ABaudRate)
{
    static constexpr std::array<int, 12> kRates = {1200,  2400,  4800,  9600,   14400,  19200,
                                                   38400, 56000, 57600, 115200, 128000, 256000};
    if (ABaudRate < 0 || ABaudRate >= int(kRates.size()))
        return 9600;
    return kRates[std::size_t(ABaudRate)];
}

int TConfiguracaoSerial::parseDataBits(int ADataBits)
{
    if (ADataBits < 0 || ADataBits > 3)
        return 8;
    return 5 + ADataBits;
}

TStopBits TConfiguracaoSerial::parseStopBits(int AStopBits)
{
    switch (AStopBits) {
    case 1: return TStopBits::sbOne5StopBits;
    case 2: return TStopBits::sbTwoStopBits;
    default: return TStopBits::sbOneStopBit;
    }
}

TComParity TConfiguracaoSerial::parseParity(int AParity)
{
    TComParity parity;  // none, no check, no replacement
    switch (AParity) {
    case 1: parity.Bits = TParityBits::prOdd; break;
    case 2: parity.Bits = TParityBits::prEven; break;
    case 3: parity.Bits = TParityBits::prMark; break;
    case 4: parity.Bits = TParityBits::prSpace; break;
    default: break;
    }
    return parity;
}

TComFlowControl TConfiguracaoSerial::parseFlowControl(int AFlowControl)
{
    TComFlowControl flow;  // every handshake off, XON 17, XOFF 19
    switch (AFlowControl) {
    case 0:  // Hardware
        flow.ControlRTS = TRTSFlowControl::rtsHandshake;
        flow.OutCTSFlow = true;
        flow.XonXoffIn = flow.XonXoffOut = false;
        break;
    case 1:  // Software
        flow.XonXoffIn = flow.XonXoffOut = true;
        flow.ControlRTS = TRTSFlowControl::rtsDisable;
        flow.OutCTSFlow = false;
        break;
    case 2:  // None
        flow.ControlRTS = TRTSFlowControl::rtsDisable;
        flow.OutCTSFlow = false;
        flow.XonXoffIn = flow.XonXoffOut = false;
        break;
    default:  // Custom, or nothing chosen: as made
        break;
    }
    return flow;
}

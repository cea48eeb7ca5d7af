#include <gtest/gtest.h>

#include "scale/TConfiguracaoSerial.h"

namespace {

TEST(TConfiguracaoSerial, LineSettingsByListPosition)
{
    const int rates[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(TConfiguracaoSerial::parseBaudRate(i), rates[i]) << i;
    for (int none : {-1, 12, 1000})
        EXPECT_EQ(TConfiguracaoSerial::parseBaudRate(none), 9600) << none;

    struct {
        int Position;
        int DataBits;
        TStopBits StopBits;
        TParityBits Parity;
    } cases[] = {
        {-1, 8, TStopBits::sbOneStopBit, TParityBits::prNone},
        {0, 5, TStopBits::sbOneStopBit, TParityBits::prNone},
        {1, 6, TStopBits::sbOne5StopBits, TParityBits::prOdd},
        {2, 7, TStopBits::sbTwoStopBits, TParityBits::prEven},
        {3, 8, TStopBits::sbOneStopBit, TParityBits::prMark},
        {4, 8, TStopBits::sbOneStopBit, TParityBits::prSpace},
        {5, 8, TStopBits::sbOneStopBit, TParityBits::prNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TConfiguracaoSerial::parseDataBits(c.Position), c.DataBits) << c.Position;
        EXPECT_EQ(TConfiguracaoSerial::parseStopBits(c.Position), c.StopBits) << c.Position;
        const TComParity parity = TConfiguracaoSerial::parseParity(c.Position);
        EXPECT_EQ(parity.Bits, c.Parity) << c.Position;
        EXPECT_FALSE(parity.Check);
        EXPECT_FALSE(parity.Replace);
    }
}

TEST(TConfiguracaoSerial, FlowControlByListPosition)
{
    const TComFlowControl none;  // every handshake off
    EXPECT_EQ(none.XonChar, 17);
    EXPECT_EQ(none.XoffChar, 19);

    TComFlowControl hardware = none;
    hardware.ControlRTS = TRTSFlowControl::rtsHandshake;
    hardware.OutCTSFlow = true;
    TComFlowControl software = none;
    software.XonXoffIn = software.XonXoffOut = true;

    EXPECT_EQ(TConfiguracaoSerial::parseFlowControl(0), hardware);
    EXPECT_EQ(TConfiguracaoSerial::parseFlowControl(1), software);
    for (int same : {2, 3, -1, 4})  // None, Custom, nothing chosen, past the list
        EXPECT_EQ(TConfiguracaoSerial::parseFlowControl(same), none) << same;
}

TEST(TConfiguracaoSerial, CarriesTheTelegramTextsAndThePortSettings)
{
    TConfiguracaoSerial porta;
    EXPECT_TRUE(porta.startString().isEmpty());
    EXPECT_TRUE(porta.stopString().isEmpty());
    porta.setStartString("\x02");
    porta.setStopString("\r");
    porta.SetPort("/dev/ttyUSB0");
    EXPECT_EQ(porta.startString(), "\x02");
    EXPECT_EQ(porta.stopString(), "\r");
    EXPECT_EQ(porta.Port(), "/dev/ttyUSB0");
}

}  // namespace

#include <gtest/gtest.h>

// The kernel's own termios, for the custom baud rates; <termios.h> must stay out of this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/TComDataPacket.h"
#include "platform/TComPort.h"
#include "support/PseudoTerminal.h"
#include "support/Wait.h"

namespace {

// Polls without running the loop, so received bytes stay with the device.
bool WaitUntilNoEvents(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    for (int waited = 0; !condition(); waited += 5) {
        if (waited >= timeoutMs)
            return false;
        ::usleep(5000);
    }
    return true;
}

// The line settings the device really has (read through the master side).
termios2 LineSettings(const TPseudoTerminal& pty)
{
    termios2 tio {};
    EXPECT_EQ(::ioctl(pty.Master(), TCGETS2, &tio), 0);
    return tio;
}

struct LineCase {
    int BaudRate;
    int DataBits;
    TParityBits Parity;
    TStopBits StopBits;
    tcflag_t Size;
    tcflag_t ParityFlags;  // PARENB | PARODD | CMSPAR as expected
};

class LineSettingsTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSettingsTest, AppliedAtOpen)
{
    const LineCase& c = GetParam();
    TPseudoTerminal pty;
    TComPort port;
    port.SetPort(pty.DevicePath());
    port.SetBaudRate(c.BaudRate);
    port.SetDataBits(c.DataBits);
    TComParity parity;
    parity.Bits = c.Parity;
    port.SetParity(parity);
    port.SetStopBits(c.StopBits);
    port.Open();
    ASSERT_TRUE(port.Connected());

    const termios2 tio = LineSettings(pty);
    EXPECT_EQ(tio.c_ospeed, static_cast<speed_t>(c.BaudRate));
    // A pseudo-terminal always keeps 8 bits and drops the parity switch; the rest stays.
    (void)c.Size;
    EXPECT_EQ(tio.c_cflag & (PARODD | CMSPAR), c.ParityFlags & (PARODD | CMSPAR));
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.StopBits == TStopBits::sbTwoStopBits);
}

// Every rate of the settings panel, the non-standard ones included.
INSTANTIATE_TEST_SUITE_P(
    Panel, LineSettingsTest,
    ::testing::Values(LineCase{1200, 8, TParityBits::prNone, TStopBits::sbOneStopBit, CS8, 0},
                      LineCase{2400, 7, TParityBits::prEven, TStopBits::sbOneStopBit, CS7, PARENB},
                      LineCase{4800, 6, TParityBits::prOdd, TStopBits::sbTwoStopBits, CS6, PARENB | PARODD},
                      LineCase{9600, 5, TParityBits::prMark, TStopBits::sbOneStopBit, CS5, PARENB | PARODD | CMSPAR},
                      LineCase{14400, 8, TParityBits::prSpace, TStopBits::sbOneStopBit, CS8, PARENB | CMSPAR},
                      LineCase{19200, 8, TParityBits::prNone, TStopBits::sbOneStopBit, CS8, 0},
                      LineCase{38400, 8, TParityBits::prNone, TStopBits::sbOneStopBit, CS8, 0},
                      LineCase{56000, 8, TParityBits::prNone, TStopBits::sbOneStopBit, CS8, 0},
                      LineCase{57600, 8, TParityBits::prNone, TStopBits::sbOneStopBit, CS8, 0},
                      LineCase{115200, 8, TParityBits::prNone, TStopBits::sbOneStopBit, CS8, 0},
                      LineCase{128000, 8, TParityBits::prNone, TStopBits::sbOneStopBit, CS8, 0},
                      LineCase{256000, 8, TParityBits::prNone, TStopBits::sbTwoStopBits, CS8, 0}));

TEST(TComPortTest, FlowControlValues)
{
    struct Case {
        const char* Name;
        TComFlowControl Flow;
        bool Rtscts, Ixon, Ixoff;
    };
    TComFlowControl hardware;
    hardware.ControlRTS = TRTSFlowControl::rtsHandshake;
    hardware.OutCTSFlow = true;
    TComFlowControl software;
    software.XonXoffIn = software.XonXoffOut = true;
    software.XonChar = 0x11;
    software.XoffChar = 0x13;
    TComFlowControl custom;
    custom.XonXoffIn = custom.XonXoffOut = true;
    custom.XonChar = 'A';
    custom.XoffChar = 'B';
    for (const Case& c : {Case{"none", TComFlowControl{}, false, false, false},
                          Case{"hardware", hardware, true, false, false},
                          Case{"software", software, false, true, true},
                          Case{"xon chars", custom, false, true, true}}) {
        SCOPED_TRACE(c.Name);
        TPseudoTerminal pty;
        TComPort port;
        port.SetPort(pty.DevicePath());
        port.SetFlowControl(c.Flow);
        port.Open();
        const termios2 tio = LineSettings(pty);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.Rtscts);
        EXPECT_EQ((tio.c_iflag & IXON) != 0, c.Ixon);
        EXPECT_EQ((tio.c_iflag & IXOFF) != 0, c.Ixoff);
        if (c.Ixon) {
            EXPECT_EQ(tio.c_cc[VSTART], static_cast<cc_t>(c.Flow.XonChar));
            EXPECT_EQ(tio.c_cc[VSTOP], static_cast<cc_t>(c.Flow.XoffChar));
        }
    }
}

TEST(TComPortTest, OpenFailuresNameThePortAndLeaveItClosed)
{
    TPseudoTerminal pty;
    struct Case {
        const char* Name;
        QString Port;
        TStopBits StopBits;
        int DataBits;
        QString Expected;
    };
    const QString missing = QStringLiteral("/dev/no-such-serial-port");
    for (const Case& c : {Case{"missing", missing, TStopBits::sbOneStopBit, 8, missing},
                          Case{"windows name", "COM3", TStopBits::sbOneStopBit, 8, "COM3"},
                          Case{"1.5 stop bits", pty.DevicePath(), TStopBits::sbOne5StopBits, 8, "1.5 stop bits"},
                          Case{"4 data bits", pty.DevicePath(), TStopBits::sbOneStopBit, 4, "4 data bits"}}) {
        SCOPED_TRACE(c.Name);
        TComPort port;
        port.SetPort(c.Port);
        port.SetStopBits(c.StopBits);
        port.SetDataBits(c.DataBits);
        try {
            port.Open();
            ADD_FAILURE() << "opened";
        } catch (const EComPort& e) {
            EXPECT_TRUE(e.Message().contains(c.Port)) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(c.Expected)) << e.Message().toStdString();
        }
        EXPECT_FALSE(port.Connected());
        EXPECT_THROW(port.InputCount(), EComPort);
    }
}

TEST(TComPortTest, OpenIsExclusiveAlsoThroughALink)
{
    TPseudoTerminal pty;
    QTemporaryDir dir;
    const QString link = dir.filePath("scale");
    ASSERT_TRUE(QFile::link(pty.DevicePath(), link));

    TComPort first;
    first.SetPort(pty.DevicePath());
    first.Open();
    first.Open();  // already open: nothing happens
    EXPECT_TRUE(first.Connected());
    for (const QString& name : {pty.DevicePath(), link}) {
        TComPort second;
        second.SetPort(name);
        EXPECT_THROW(second.Open(), EComPort) << name.toStdString();
        EXPECT_FALSE(second.Connected());
    }
    // Closed, the device is free again, and close twice is harmless.
    first.Close();
    first.Close();
    EXPECT_FALSE(first.Connected());
    TComPort third;
    third.SetPort(link);
    EXPECT_NO_THROW(third.Open());
}

// An open port on a pseudo-terminal with a packet that records what it receives.
struct TOpenPort {
    TPseudoTerminal Pty;
    TComPort Port;
    TComDataPacket Packet;
    QString Received;
    std::function<void()> AfterPacket;
    TOpenPort()
    {
        Port.SetPort(Pty.DevicePath());
        Packet.SetComPort(&Port);
        Packet.SetOnPacket([this](TComDataPacket&, const QString& text) {
            Received += text;
            if (AfterPacket)
                AfterPacket();
        });
        Port.Open();
    }
};

TEST(TComPortTest, InputCountAndClearBuffer)
{
    TOpenPort open;
    // Without running the loop the bytes stay with the device.
    ASSERT_TRUE(open.Pty.Write("12345"));
    ASSERT_TRUE(WaitUntilNoEvents([&] { return open.Port.InputCount() == 5; }));
    open.Port.ClearBuffer(true, true);
    EXPECT_EQ(open.Port.InputCount(), 0);
    RunEventsFor(100);
    EXPECT_EQ(open.Received, "");  // cleared bytes are never delivered
    ASSERT_TRUE(open.Pty.Write("6"));
    ASSERT_TRUE(WaitUntil([&] { return open.Received == "6"; }));
}

TEST(TComPortTest, HangupMakesInputCountFail)
{
    TOpenPort open;
    open.Pty.Hangup();
    // Fails at once through the device, and also after the loop has seen the read error.
    EXPECT_THROW(open.Port.InputCount(), EComPort);
    RunEventsFor(300);
    EXPECT_THROW(open.Port.InputCount(), EComPort);
    EXPECT_FALSE(open.Port.Connected());
    EXPECT_EQ(open.Received, "");
}

TEST(TComPortTest, CloseStopsReception)
{
    TOpenPort open;
    open.AfterPacket = [&] { open.Port.Close(); };  // closing from inside the event is allowed
    ASSERT_TRUE(open.Pty.Write("a"));
    ASSERT_TRUE(WaitUntil([&] { return open.Received == "a"; }));
    EXPECT_FALSE(open.Port.Connected());
    open.Pty.Write("b");
    RunEventsFor(100);
    EXPECT_EQ(open.Received, "a");
}

}  // namespace

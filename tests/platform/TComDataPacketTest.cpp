#include <gtest/gtest.h>

#include <QStringList>

#include "platform/TComDataPacket.h"
#include "platform/TComPort.h"
#include "support/PseudoTerminal.h"
#include "support/Wait.h"

namespace {

struct FramingCase {
    const char* Name;
    QString Start;
    QString Stop;
    QStringList Chunks;
    QStringList Packets;
};

const QString STX = QStringLiteral("\x02");
const QString ETX = QStringLiteral("\x03");

QString EveryCharacterButCr()
{
    QString all;
    for (int c = 0; c < 256; ++c)
        if (c != '\r')
            all += QChar(c);
    return all;
}

std::vector<FramingCase> Cases()
{
    const QString big(1030, QLatin1Char('x'));
    return {
        {"NoStopEveryChunkIsAPacket", STX, "", {"ab", STX + "cd"}, {"ab", STX + "cd"}},
        {"StxEtx", STX, ETX, {"noise" + STX + "123" + ETX + "tail"}, {"123"}},
        {"StopOnly", "", "\r\n", {"  000123 kg\r\n  000124 kg\r\n  0001"}, {"  000123 kg", "  000124 kg"}},
        {"StartOnlyIsIgnored", STX, "", {STX + "1" + ETX}, {STX + "1" + ETX}},
        {"SeveralPacketsInOneChunk", STX, ETX, {STX + "1" + ETX + STX + "2" + ETX + STX + "3" + ETX}, {"1", "2", "3"}},
        {"SplitAcrossChunks", STX, ETX, {"zz" + QString(STX[0]), "12", "3" + ETX + STX + "4", "5" + ETX}, {"123", "45"}},
        {"MultiCharDelimitersSplit", "<<", ">>", {"<", "<ab>", ">", "<<c>>"}, {"ab", "c"}},
        {"CaseSensitive", "S", "E", {"sxeSabcEe"}, {"abc"}},
        {"EmptyPacket", STX, ETX, {STX + ETX}, {""}},
        {"TextBeforeStartDiscarded", STX, ETX, {"123" + ETX + STX + "9" + ETX}, {"9"}},
        {"StartEqualsStop", "|", "|", {"|A|B|C|"}, {"A", "C"}},
        {"DiscardAt1024", "", ETX, {big, "tail" + ETX}, {"tail"}},
        {"DiscardAfterStart", STX, ETX, {STX + big, "7" + ETX, STX + "8" + ETX}, {"8"}},
        {"CompletePacketInLongChunkSurvives", "", ETX, {big + ETX + "9" + ETX}, {big, "9"}},
        // Checked before the discard, so a stop longer than the limit can still end a packet.
        {"StopLongerThanLimit", "", big, {"a", big.left(600), big.mid(600)}, {"a"}},
        {"AllCharacterValues", "", "\r", {EveryCharacterButCr() + "\r"}, {EveryCharacterButCr()}},
    };
}

class FramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingTest, DeliversPackets)
{
    const FramingCase& c = GetParam();
    TComDataPacket packet;
    packet.SetStartString(c.Start);
    packet.SetStopString(c.Stop);
    QStringList got;
    packet.SetOnPacket([&](TComDataPacket& sender, const QString& text) {
        EXPECT_EQ(&sender, &packet);
        got << text;
    });
    for (const QString& chunk : c.Chunks)
        packet.HandleData(chunk);
    EXPECT_EQ(got, c.Packets);
}

INSTANTIATE_TEST_SUITE_P(Cases, FramingTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(TComDataPacketTest, FramesWhatARealPortReceivesInArrivalOrder)
{
    TPseudoTerminal pty;
    TComPort port;
    port.SetPort(pty.DevicePath());
    port.SetBaudRate(9600);
    TComDataPacket packet;
    packet.SetComPort(&port);
    packet.SetStartString(STX);
    packet.SetStopString(ETX);
    QStringList got;
    packet.SetOnPacket([&](TComDataPacket&, const QString& text) { got << text; });
    port.Open();

    ASSERT_TRUE(pty.Write("x\x02" "000"));
    RunEventsFor(50);
    ASSERT_TRUE(pty.Write("123\x03\x02" "000124\x03"));
    // 0x80 and 0xFF pass as their Windows-1252 characters.
    ASSERT_TRUE(pty.Write("\x02\x80\xff\x03"));
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 3; }));
    EXPECT_EQ(got, (QStringList{"000123", "000124", QString(QChar(0x20AC)) + QChar(0xFF)}));

    // Unlinked, it hears nothing more.
    packet.SetComPort(nullptr);
    ASSERT_TRUE(pty.Write("\x02" "9\x03"));
    RunEventsFor(200);
    EXPECT_EQ(got.size(), 3);
}

TEST(TComDataPacketTest, PortAndPacketMayGoInEitherOrder)
{
    auto port = std::make_unique<TComPort>();
    TComDataPacket packet;
    packet.SetComPort(port.get());
    port.reset();
    EXPECT_EQ(packet.ComPort(), nullptr);

    TComPort other;
    {
        TComDataPacket shortLived;
        shortLived.SetComPort(&other);
    }
    TPseudoTerminal pty;
    other.SetPort(pty.DevicePath());
    other.Open();
    ASSERT_TRUE(pty.Write("data"));
    RunEventsFor(100);  // nothing linked any more: no dangling delivery
}

}  // namespace

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "config/FileBytes.h"
#include "config/TIniFile.h"
#include "config/TframeConfiguracaoSocket.h"
#include "support/RecordingUserInterface.h"

namespace {

class TframeConfiguracaoSocketTest : public ::testing::Test {
protected:
    QString Ini() const { return FDir.filePath("ConfigSerial.ini"); }
    void WriteSection(const QString& ip, const QString& porta)
    {
        TIniFile ini(Ini());
        ini.WriteString("frameConfiguracaoSocketBl1", "IpOrigem", ip);
        ini.WriteString("frameConfiguracaoSocketBl1", "PortaOrigem", porta);
    }
    QTemporaryDir FDir;
    TRecordingUserInterface FUi;
    TframeConfiguracaoSocket FFrame{"frameConfiguracaoSocketBl1", FDir.path()};
};

TEST_F(TframeConfiguracaoSocketTest, InitialFieldsSaveEmptyAndReadBackEmpty)
{
    FFrame.Gravar();
    EXPECT_EQ(ReadBytes(Ini()),
              "[frameConfiguracaoSocketBl1]\r\nIpOrigem=\r\nPortaOrigem=     \r\n");
    EXPECT_EQ(TIniFile(Ini()).ReadString("frameConfiguracaoSocketBl1", "PortaOrigem", "x"), "");
    EXPECT_EQ(FFrame.RotuloPorta(), "Puerto");
    EXPECT_EQ(TframeConfiguracaoSocket("frameConfiguracaoSocketBl2", FDir.path()).RotuloPorta(), "Puerta");
}

TEST_F(TframeConfiguracaoSocketTest, LoadBuildsABlockingClient)
{
    WriteSection("192.168.0.20", "4001");
    std::shared_ptr<TConfiguracaoOrigemSocket> origem = FFrame.Carregar("frameConfiguracaoSocketBl1");
    ASSERT_TRUE(origem);
    EXPECT_EQ(origem->Host(), "192.168.0.20");
    EXPECT_EQ(origem->Address(), "192.168.0.20");
    EXPECT_EQ(origem->Port(), 4001);
    EXPECT_EQ(origem->ClientType(), TClientType::ctBlocking);
    EXPECT_FALSE(origem->Active());
    EXPECT_EQ(FFrame.maskPorta.Text(), " 4001");
    EXPECT_TRUE(FUi.Boxes.empty());
}

TEST_F(TframeConfiguracaoSocketTest, APortThatIsNoPortShowsTheBoxOnceAndLeavesPortZero)
{
    const char* bad[] = {"", "     ", "0", "65536", "99999", "40a1", "123456"};
    for (const char* porta : bad) {
        FUi.Boxes.clear();
        FFrame.maskPorta.SetText("1");
        WriteSection("10.0.0.5", porta);
        std::shared_ptr<TConfiguracaoOrigemSocket> origem = FFrame.Carregar("frameConfiguracaoSocketBl1");
        ASSERT_TRUE(origem) << porta;
        EXPECT_EQ(origem->Port(), 0) << porta;
        EXPECT_EQ(origem->Host(), "10.0.0.5");
        EXPECT_EQ(origem->ClientType(), TClientType::ctBlocking);
        ASSERT_EQ(FUi.Boxes.size(), 1u) << porta;
        EXPECT_EQ(FUi.Boxes[0].Text, QString::fromUtf8("Asegúrese de que el IP del bascula está configurado"));
        EXPECT_EQ(FUi.Boxes[0].Caption, QString::fromUtf8("Error de configuración"));
        EXPECT_EQ(FUi.Boxes[0].Icon, TMsgIcon::Error);
    }
    WriteSection("10.0.0.5", "65535");
    EXPECT_EQ(FFrame.Carregar("frameConfiguracaoSocketBl1")->Port(), 65535);
}

TEST_F(TframeConfiguracaoSocketTest, MissingSectionKeepsTheFieldsAndRefreshOnlyEnables)
{
    FFrame.maskIP.SetText("10.1.1.1");
    FFrame.maskPorta.SetText("9000");
    FFrame.CarregaOrigem("frameConfiguracaoSocketBl1");
    EXPECT_EQ(FFrame.maskIP.Text(), "10.1.1.1");
    EXPECT_EQ(FFrame.maskPorta.Text(), " 9000");
    FFrame.RefreshComponents(false);
    EXPECT_FALSE(FFrame.maskIP.Enabled());
    EXPECT_FALSE(FFrame.maskPorta.Enabled());
    EXPECT_EQ(FFrame.maskIP.Text(), "10.1.1.1");
}

}  // namespace

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "config/TIniFile.h"
#include "config/FileBytes.h"
#include "config/TframeConfiguracaoSerial.h"
#include "platform/RegionalSettings.h"

namespace {

class TframeConfiguracaoSerialTest : public ::testing::Test {
protected:
    void TearDown() override { RegionalSettings::SetCurrent(RegionalSettings{}); }
    QString Ini() const { return FDir.filePath("ConfigSerial.ini"); }
    QTemporaryDir FDir;
    TframeConfiguracaoSerial FFrame{"frameConfiguracaoSerialBL1", FDir.path()};
};

TEST_F(TframeConfiguracaoSerialTest, InitialFieldsSaveAsTheDefaultsInTheWorkingDirectory)
{
    RegionalSettings comma;
    comma.DecimalSeparator = QLatin1Char(',');
    RegionalSettings::SetCurrent(comma);
    FFrame.cbStopBits.SetItemIndex(1);
    FFrame.Gravar();
    EXPECT_EQ(FFrame.CaminhoArquivo(), FDir.path() + "/ConfigSerial.ini");
    EXPECT_EQ(ReadBytes(Ini()),
              "[frameConfiguracaoSerialBL1]\r\nPort=COM1\r\nBaudRate=9600\r\nDataBits=8\r\n"
              "StopBits=1.5\r\nParity=None\r\nFlowControl=None\r\nStartString=\r\nStopString=\r\n");
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(TframeConfiguracaoSerialTest, LoadBuildsThePortFromTheSection)
{
    TIniFile ini(Ini());
    ini.WriteString("FRAMECONFIGURACAOSERIALBL1", "port", "/dev/ttyUSB0");
    ini.WriteString("frameConfiguracaoSerialBL1", "BaudRate", "115200");
    ini.WriteString("frameConfiguracaoSerialBL1", "Parity", "Even");
    ini.WriteString("frameConfiguracaoSerialBL1", "FlowControl", "Hardware");
    ini.WriteString("frameConfiguracaoSerialBL1", "StartString", "\"  \"");
    ini.WriteString("frameConfiguracaoSerialBL1", "StopString", "   ");
    ini.WriteString("frameConfiguracaoSerialBL2", "DataBits", "5");

    std::shared_ptr<TConfiguracaoSerial> porta = FFrame.Carregar("frameConfiguracaoSerialBL1");
    ASSERT_TRUE(porta);
    EXPECT_EQ(porta->Port(), "/dev/ttyUSB0");
    EXPECT_EQ(porta->BaudRate(), 115200);
    EXPECT_EQ(porta->DataBits(), 8);  // the other scale's section is not read
    EXPECT_EQ(porta->StopBits(), TStopBits::sbOneStopBit);
    EXPECT_EQ(porta->Parity().Bits, TParityBits::prEven);
    EXPECT_EQ(porta->FlowControl(), TConfiguracaoSerial::parseFlowControl(0));
    EXPECT_EQ(porta->startString(), "  ");
    EXPECT_EQ(porta->stopString(), "");
    EXPECT_FALSE(porta->Connected());
}

TEST_F(TframeConfiguracaoSerialTest, MissingOrUnknownValuesKeepTheFieldsAndGiveTheDefaults)
{
    FFrame.cbBaudRate.SetText("19200");
    FFrame.Carregar("frameConfiguracaoSerialBL1");  // no file at all
    EXPECT_EQ(FFrame.cbBaudRate.Text(), "19200");
    EXPECT_FALSE(QFile::exists(Ini()));

    TIniFile(Ini()).WriteString("frameConfiguracaoSerialBL1", "BaudRate", "fast");
    std::shared_ptr<TConfiguracaoSerial> porta = FFrame.Carregar("frameConfiguracaoSerialBL1");
    EXPECT_EQ(FFrame.cbBaudRate.Text(), "fast");
    EXPECT_EQ(porta->BaudRate(), 9600);
    FFrame.Gravar();  // written back as it was read
    EXPECT_EQ(TIniFile(Ini()).ReadString("frameConfiguracaoSerialBL1", "BaudRate", ""), "fast");
}

TEST_F(TframeConfiguracaoSerialTest, EachReadGivesANewObjectAndRefreshOnlyEnables)
{
    std::shared_ptr<TConfiguracaoSerial> a = FFrame.ConfiguracaoPorta();
    std::shared_ptr<TConfiguracaoSerial> b = FFrame.ConfiguracaoPorta();
    EXPECT_NE(a, b);
    EXPECT_EQ(a->Port(), b->Port());
    EXPECT_EQ(a->BaudRate(), b->BaudRate());
    EXPECT_EQ(a->FlowControl(), b->FlowControl());

    int changes = 0;
    QObject::connect(&FFrame, &TframeConfiguracaoSerial::Alterado, [&] { ++changes; });
    FFrame.RefreshComponents(false);
    for (const TCampoPainel* campo : {&FFrame.cbPort, &FFrame.cbBaudRate, &FFrame.cbDataBits,
                                      &FFrame.cbStopBits, &FFrame.cbParity, &FFrame.cbFlowControl,
                                      &FFrame.edtStartString, &FFrame.edtStopString})
        EXPECT_FALSE(campo->Enabled());
    EXPECT_EQ(FFrame.cbPort.Text(), "COM1");
    EXPECT_EQ(changes, 1);
    FFrame.RefreshComponents(true);
    EXPECT_TRUE(FFrame.edtStopString.Enabled());
}

}  // namespace

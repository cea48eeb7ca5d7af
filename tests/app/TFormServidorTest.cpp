#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/TFormServidor.h"
#include "config/FileBytes.h"
#include "config/TIniFile.h"
#include "platform/RegionalSettings.h"
#include "support/RecordingUserInterface.h"

namespace {

const char kDefaults[] =
    "[GERAL]\r\nInicializar=0\r\nPortaHost=9191\r\nExpRegular=\\d\\d\\d\\d\\d+\r\n"
    "TempoLeituraCom=1000\r\nNBalanca=1\r\nVisualizarLeituras=0\r\nUtilizaTolerancia=0\r\n"
    "PassaZero=0\r\nTipoLeituraOrigem_BL1=S\r\nTipoLeituraOrigem_BL2=S\r\n"
    "PosicaoInicial_BL1=1\r\nTamanhoString_BL1=0\r\nPosicaoInicial_BL2=1\r\nTamanhoString_BL2=0\r\n";

class TFormServidorTest : public ::testing::Test {
protected:
    void TearDown() override { RegionalSettings::SetCurrent(RegionalSettings{}); }
    QString Ini() const { return FDir.filePath("ConfigSerial.ini"); }
    // GERAL holding the given lines, as an existing installation wrote it.
    void WriteGeral(const QByteArray& lines) { WriteBytes(Ini(), "[GERAL]\r\n" + lines); }

    QTemporaryDir FDir;
    TRecordingUserInterface FUi;
    TFormServidor FForm{FDir.path(), FDir.path()};
};

TEST_F(TFormServidorTest, FirstLoadWritesTheDefaultsAndBuildsTwoSerialOrigins)
{
    EXPECT_FALSE(FForm.FIniciado);
    EXPECT_TRUE(FForm.FTipoLeituraBL1.isEmpty());
    FForm.CarregaConfiguracaoGeral();

    EXPECT_EQ(ReadBytes(Ini()), kDefaults);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
    EXPECT_EQ(FForm.ConfiguracaoGeral, TConfiguracaoGeral{});
    EXPECT_EQ(FForm.FTipoLeituraBL1, "S");
    EXPECT_EQ(FForm.FTipoLeituraBL2, "S");
    for (const auto& porta : {FForm.FTcom1, FForm.FTcom2}) {
        ASSERT_TRUE(porta);
        EXPECT_EQ(porta->Port(), "COM1");
        EXPECT_EQ(porta->BaudRate(), 9600);
        EXPECT_EQ(porta->DataBits(), 8);
        EXPECT_EQ(porta->StopBits(), TStopBits::sbOneStopBit);
        EXPECT_EQ(porta->Parity(), TComParity{});
        EXPECT_EQ(porta->FlowControl(), TComFlowControl{});
    }
    EXPECT_NE(FForm.FTcom1, FForm.FTcom2);
    EXPECT_FALSE(FForm.FTsok1);
    EXPECT_FALSE(FForm.FTsok2);
    EXPECT_TRUE(FUi.Boxes.empty());
}

TEST_F(TFormServidorTest, AnInstallationsFileIsReadAndASaveChangesOnlyItsKeys)
{
    const QByteArray before =
        "; Configuraci\xF3n del servidor\r\n"
        "[Geral]\r\n"
        "inicializar=1\r\n"
        "PORTAHOST = \"9292\"\r\n"
        "ExpRegular='\\d+'\r\n"
        "Obsoleto=xyz\r\n"
        "NBalanca=2\r\n"
        "UtilizaTolerancia=0.5\r\n"
        "TipoLeituraOrigem_BL1=Ethernet\r\n"
        "TipoLeituraOrigem_BL2=S\r\n"
        "PosicaoInicial_BL1=3\r\n"
        "\r\n"
        "[frameConfiguracaoSocketBl1]\r\n"
        "IpOrigem=192.168.0.20\r\n"
        "PortaOrigem= 4001\r\n"
        "[FRAMECONFIGURACAOSERIALBL2]\r\n"
        "Port=COM3\r\n"
        "StartString=\xD3K\r\n"
        "[Otra]\r\n"
        "Clave=\xD3\r\n";
    WriteBytes(Ini(), before);
    FForm.CarregaConfiguracaoGeral();

    const TConfiguracaoGeral& c = FForm.ConfiguracaoGeral;
    EXPECT_TRUE(c.Inicializar);
    EXPECT_EQ(c.PortaHost, "9292");
    EXPECT_EQ(c.ExpRegular, "\\d+");
    EXPECT_EQ(c.TempoLeituraCom, "1000");
    EXPECT_EQ(c.NBalanca, 2);
    EXPECT_EQ(c.UtilizaTolerancia, 0.5);
    EXPECT_EQ(c.TipoLeituraOrigem_BL1, "Ethernet");
    EXPECT_EQ(c.PosicaoInicial_BL1, 3);
    ASSERT_TRUE(FForm.FTsok1);
    EXPECT_EQ(FForm.FTsok1->Address(), "192.168.0.20");
    EXPECT_EQ(FForm.FTsok1->Port(), 4001);
    EXPECT_FALSE(FForm.FTcom1);
    ASSERT_TRUE(FForm.FTcom2);
    EXPECT_EQ(FForm.FTcom2->Port(), "COM3");
    EXPECT_EQ(FForm.FTcom2->startString(), QString::fromUtf8("ÓK"));
    EXPECT_EQ(FForm.frameConfiguracaoSerialBL1.cbPort.Text(), "COM1");  // not loaded

    FForm.ConfiguracaoGeral.PassaZero = true;
    FForm.GravaConfiguracaoGeral();
    EXPECT_EQ(ReadBytes(Ini()),
              "; Configuraci\xF3n del servidor\r\n"
              "[Geral]\r\n"
              "inicializar=1\r\n"
              "PORTAHOST=9292\r\n"
              "ExpRegular=\\d+\r\n"
              "Obsoleto=xyz\r\n"
              "NBalanca=2\r\n"
              "UtilizaTolerancia=0.5\r\n"
              "TipoLeituraOrigem_BL1=Ethernet\r\n"
              "TipoLeituraOrigem_BL2=S\r\n"
              "PosicaoInicial_BL1=3\r\n"
              "TempoLeituraCom=1000\r\n"
              "VisualizarLeituras=0\r\n"
              "PassaZero=1\r\n"
              "TamanhoString_BL1=0\r\n"
              "PosicaoInicial_BL2=1\r\n"
              "TamanhoString_BL2=0\r\n"
              "\r\n"
              "[frameConfiguracaoSocketBl1]\r\n"
              "IpOrigem=192.168.0.20\r\n"
              "PortaOrigem= 4001\r\n"
              "[FRAMECONFIGURACAOSERIALBL2]\r\n"
              "Port=COM3\r\n"
              "StartString=\xD3K\r\n"
              "[Otra]\r\n"
              "Clave=\xD3\r\n");
}

TEST_F(TFormServidorTest, ValuesThatCannotBeReadKeepTheCurrentSetting)
{
    RegionalSettings comma;
    comma.DecimalSeparator = QLatin1Char(',');
    struct {
        const char* Line;
        bool Comma;
        std::function<bool(const TConfiguracaoGeral&)> Holds;
    } cases[] = {
        {"Inicializar=2", false, [](auto& c) { return c.Inicializar; }},
        {"Inicializar=yes", false, [](auto& c) { return !c.Inicializar; }},
        {"NBalanca=0x2", false, [](auto& c) { return c.NBalanca == 2; }},
        {"NBalanca=dos", false, [](auto& c) { return c.NBalanca == 1; }},
        {"PosicaoInicial_BL1=0x10", false, [](auto& c) { return c.PosicaoInicial_BL1 == 16; }},
        {"PosicaoInicial_BL1=2.5", false, [](auto& c) { return c.PosicaoInicial_BL1 == 1; }},
        {"PosicaoInicial_BL1=2,5", true, [](auto& c) { return c.PosicaoInicial_BL1 == 1; }},
        {"UtilizaTolerancia=0,5", false, [](auto& c) { return c.UtilizaTolerancia == 0; }},
        {"UtilizaTolerancia=0,5", true, [](auto& c) { return c.UtilizaTolerancia == 0.5; }},
        {"UtilizaTolerancia=", false, [](auto& c) { return c.UtilizaTolerancia == 0; }},
        {"PortaHost=  ", false, [](auto& c) { return c.PortaHost.isEmpty(); }},
        {"TempoLeituraCom=\"500\"", false, [](auto& c) { return c.TempoLeituraCom == "500"; }},
    };
    for (const auto& c : cases) {
        RegionalSettings::SetCurrent(c.Comma ? comma : RegionalSettings{});
        WriteGeral(QByteArray(c.Line) + "\r\n");
        TFormServidor form(FDir.path(), FDir.path());
        form.CarregaConfiguracaoGeral();
        EXPECT_TRUE(c.Holds(form.ConfiguracaoGeral)) << c.Line << " comma " << c.Comma;
    }
}

TEST_F(TFormServidorTest, TheOriginLetterChoosesThePanel)
{
    struct {
        const char* Bl1;
        const char* Bl2;
        bool Tcom1, Tsok1, Tcom2, Tsok2;
    } cases[] = {
        {"S", "E", true, false, false, true},
        {"Ethernet", "Serial", false, true, true, false},
        {"ethernet", "s", false, false, false, false},
        {"", "X", false, false, false, false},
    };
    for (const auto& c : cases) {
        WriteGeral(QByteArray("TipoLeituraOrigem_BL1=") + c.Bl1 + "\r\nTipoLeituraOrigem_BL2=" + c.Bl2 +
                   "\r\n[frameConfiguracaoSocketBl2]\r\nIpOrigem=10.0.0.2\r\nPortaOrigem=502\r\n");
        FUi.Boxes.clear();
        FForm.CarregaConfiguracaoGeral();
        EXPECT_EQ(bool(FForm.FTcom1), c.Tcom1) << c.Bl1;
        EXPECT_EQ(bool(FForm.FTsok1), c.Tsok1) << c.Bl1;
        EXPECT_EQ(bool(FForm.FTcom2), c.Tcom2) << c.Bl2;
        EXPECT_EQ(bool(FForm.FTsok2), c.Tsok2) << c.Bl2;
        EXPECT_EQ(FForm.FTipoLeituraBL1, c.Bl1);
        EXPECT_EQ(FForm.ConfiguracaoGeral.TipoLeituraOrigem_BL2, c.Bl2);
        // Scale 1's Ethernet panel holds only its empty initial port.
        EXPECT_EQ(FUi.Boxes.size(), c.Tsok1 ? 1u : 0u) << c.Bl1;
    }
}

TEST_F(TFormServidorTest, EachLoadBuildsNewObjectsAndLeavesTheOldOnesToTheirHolders)
{
    FForm.CarregaConfiguracaoGeral();
    std::shared_ptr<TConfiguracaoSerial> held = FForm.FTcom1;
    TIniFile(Ini()).WriteString("frameConfiguracaoSerialBL1", "Port", "COM4");
    FForm.CarregaConfiguracaoGeral();
    ASSERT_TRUE(FForm.FTcom1);
    EXPECT_NE(FForm.FTcom1, held);
    EXPECT_EQ(FForm.FTcom1->Port(), "COM4");
    EXPECT_EQ(held->Port(), "COM1");

    // What was typed since the last save is replaced by the stored values.
    FForm.ConfiguracaoGeral.PortaHost = "1234";
    FForm.CarregaConfiguracaoGeral();
    EXPECT_EQ(FForm.ConfiguracaoGeral.PortaHost, "9191");
}

TEST_F(TFormServidorTest, GeneralSectionInTheProgramFolderPanelsInTheWorkingDirectory)
{
    QTemporaryDir work;
    TFormServidor form(FDir.path() + "/", work.path());
    EXPECT_EQ(form.CaminhoConfiguracao(), FDir.path() + "/ConfigSerial.ini");
    form.CarregaConfiguracaoGeral();
    EXPECT_FALSE(QFile::exists(work.filePath("ConfigSerial.ini")));

    // A page change: the four panels, then GERAL.
    form.frameConfiguracaoSerialBL1.Gravar();
    form.frameConfiguracaoSerialBL2.Gravar();
    form.frameConfiguracaoSocketBl1.Gravar();
    form.frameConfiguracaoSocketBl2.Gravar();
    form.GravaConfiguracaoGeral();
    EXPECT_EQ(ReadBytes(Ini()), kDefaults);
    const std::string panels = ReadBytes(work.filePath("ConfigSerial.ini"));
    const auto at = [&](const char* section) { return panels.find(section); };
    EXPECT_LT(at("[frameConfiguracaoSerialBL1]"), at("[frameConfiguracaoSerialBL2]"));
    EXPECT_LT(at("[frameConfiguracaoSerialBL2]"), at("[frameConfiguracaoSocketBl1]"));
    EXPECT_LT(at("[frameConfiguracaoSocketBl1]"), at("[frameConfiguracaoSocketBl2]"));
    EXPECT_EQ(panels.find("[GERAL]"), std::string::npos);
}

TEST_F(TFormServidorTest, AFileThatCannotBeCreatedStopsTheLoadWithItsPath)
{
    TFormServidor form(FDir.filePath("missing"), FDir.path());
    try {
        form.CarregaConfiguracaoGeral();
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + FDir.filePath("missing/ConfigSerial.ini"));
    }
    EXPECT_FALSE(form.FTcom1);
}

TEST_F(TFormServidorTest, AnyBytesLoadKeepingWhatCannotBeRead)
{
    QByteArray garbage;
    for (int i = 0; i < 2048; ++i)
        garbage.append(char((i * 131 + 7) & 0xFF));
    WriteBytes(Ini(), "NBalanca=2\r\n" + garbage + "\n[GERAL]\rPortaHost=1\r[geral]\nNBalanca=2\n" +
                          "[GERAL]\r\nPortaHost=2\r\nPortaHost=3\r\nExpRegular=" +
                          QByteArray(10 * 1024 * 1024, '9'));
    FForm.CarregaConfiguracaoGeral();
    EXPECT_EQ(FForm.ConfiguracaoGeral.PortaHost, "1");
    EXPECT_EQ(FForm.ConfiguracaoGeral.NBalanca, 1);  // only the first GERAL counts
    EXPECT_EQ(FForm.ConfiguracaoGeral.ExpRegular, "\\d\\d\\d\\d\\d+");
    // An existing file without origin keys gives no origin at the first load.
    EXPECT_TRUE(FForm.FTipoLeituraBL1.isEmpty());
    EXPECT_FALSE(FForm.FTcom1);
}

}  // namespace

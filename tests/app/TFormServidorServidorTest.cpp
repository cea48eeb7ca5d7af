#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <functional>
#include <QTemporaryDir>
#include <memory>

#include "Log/UKrLog.h"
#include "app/TFormServidor.h"
#include "config/FileBytes.h"
#include "platform/TComPort.h"
#include "support/LoopbackListener.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingUserInterface.h"
#include "support/Wait.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const QString kListen = QStringLiteral("Servidor ::> Servidor em Listen!");
const QString kActivado = QStringLiteral("Servidor ::> Servidor Activado!");
const QString kDesactivado = QStringLiteral("Servidor ::> Servidor Desactivado!");
const QString kErroInicio = QStringLiteral("Error de inicialización del Servidor ");
const QString kMissing = QStringLiteral("/dev/ttyNaoExiste9");

QString ErroPorta(const QString& port)
{
    return QStringLiteral("Error al abrir la puerta ") + port +
           QStringLiteral("\r\nPor favor, revise la configuración de los puertos serial");
}

// True when the device can be opened again, i.e. nothing of the server still holds it.
bool DeviceIsFree(const QString& device)
{
    TComPort port;
    port.SetPort(device);
    try {
        port.Open();
    } catch (...) {
        return false;
    }
    port.Close();
    return true;
}

// A serial scale on a pseudo-terminal: every wait of the test streams its telegram every 20 ms.
// (Not the simulator process: under ThreadSanitizer a child started by QProcess confuses it.)
class TSimulatedScale {
public:
    const QString& Device() const { return FPty.DevicePath(); }
    bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
    {
        return ::WaitUntil(
            [&] {
                if (FSince.hasExpired(20)) {
                    FPty.Write("  001520 kg\r\n");
                    FSince.restart();
                }
                return condition();
            },
            timeoutMs);
    }

private:
    TPseudoTerminal FPty;
    QElapsedTimer FSince;
};

// A program folder that is also the working directory, with GERAL and the panels' sections.
class TFormServidorServidorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    // GERAL with the given keys; both scales serial unless the keys say otherwise.
    void Configure(QByteArray geral, const QByteArray& panels = {})
    {
        for (const QByteArray key : {"TipoLeituraOrigem_BL1", "TipoLeituraOrigem_BL2", "PortaHost", "TempoLeituraCom"})
            if (!geral.contains(key))
                geral += key + "=" + (key == "PortaHost" ? QByteArray::number(FPorta)
                                      : key == "TempoLeituraCom" ? QByteArray("100") : QByteArray("S")) + "\r\n";
        WriteBytes(FDir.filePath("ConfigSerial.ini"), "[GERAL]\r\n" + geral + panels);
    }
    static QByteArray SerialPanel(int scale, const QString& device)
    {
        return "[frameConfiguracaoSerialBL" + QByteArray::number(scale) + "]\r\nPort=" + device.toUtf8() +
               "\r\n";
    }
    TFormServidor& Form()
    {
        if (!FForm) {
            FForm = std::make_unique<TFormServidor>(FDir.path(), FDir.path());
            FForm->FormCreate();
        }
        return *FForm;
    }
    // Entries added since the last call.
    QStringList NewEntries()
    {
        const QStringList all = FUi.Entries;
        const QStringList fresh = all.mid(FSeen);
        FSeen = all.size();
        return fresh;
    }

    QTemporaryDir FDir;
    int FPorta = FreeLoopbackPort();
    TPseudoTerminal FPty;
    TRecordingUserInterface FUi;
    std::unique_ptr<TFormServidor> FForm;
    qsizetype FSeen = 0;
};

TEST_F(TFormServidorServidorTest, FirstStartThenStopThenStopAgain)
{
    Configure("NBalanca=1\r\n", SerialPanel(1, FPty.DevicePath()));
    TFormServidor& form = Form();
    EXPECT_EQ(form.CaptionServidor(), "Iniciar el Servidor");

    form.IniciaServidor();
    EXPECT_EQ(NewEntries(), QStringList({"Lease puerta " + FPty.DevicePath(), kListen, kActivado}));
    EXPECT_TRUE(FUi.Boxes.empty());
    EXPECT_TRUE(form.FIniciado);
    EXPECT_TRUE(form.S_Server.Active());
    EXPECT_TRUE(form.tmrValidarThread.isActive());
    EXPECT_EQ(form.CaptionServidor(), "Parar Servidor");
    EXPECT_EQ(form.TrayPicture(), 0);
    ASSERT_TRUE(form.BalancaB1 && form.BalancaB2);
    EXPECT_FALSE(form.BalancaB1->Suspended());
    // One scale in use: scale 2's reader exists but never runs.
    EXPECT_TRUE(form.BalancaB2->Suspended());
    EXPECT_EQ(form.FPesoB1->Nome(), "Bascula1");
    EXPECT_EQ(form.FPesoB2->Nome(), "Bascula2");
    ASSERT_TRUE(WaitUntil([&] { return !DeviceIsFree(FPty.DevicePath()); }));

    form.ParaServidor();
    EXPECT_EQ(NewEntries(), QStringList({"Suspendiendo puerta " + FPty.DevicePath(), kDesactivado}));
    EXPECT_FALSE(form.FIniciado);
    EXPECT_FALSE(form.S_Server.Active());
    EXPECT_FALSE(form.tmrValidarThread.isActive());
    EXPECT_EQ(form.CaptionServidor(), "Iniciar Servidor");
    EXPECT_EQ(form.TrayPicture(), 1);
    EXPECT_TRUE(WaitUntil([&] { return form.BalancaB1->Finished(); }));
    EXPECT_TRUE(DeviceIsFree(FPty.DevicePath()));

    // Already stopped: no reader or socket line, caption as it was, the greyed picture again.
    FUi.ButtonCaptions.clear();
    FUi.TrayPictures.clear();
    form.ParaServidor();
    EXPECT_TRUE(NewEntries().isEmpty());
    EXPECT_TRUE(FUi.ButtonCaptions.isEmpty());
    EXPECT_EQ(FUi.TrayPictures, std::vector<int>{1});
    EXPECT_EQ(form.CaptionServidor(), "Iniciar Servidor");
}

TEST_F(TFormServidorServidorTest, SocketPortThatIsNotANumberFailsAfterScale1StartedAndHaltsIt)
{
    Configure("NBalanca=1\r\nPortaHost=91a\r\n", SerialPanel(1, FPty.DevicePath()));
    TFormServidor& form = Form();
    form.IniciaServidor();

    EXPECT_EQ(NewEntries(), QStringList({"Lease puerta " + FPty.DevicePath(), kErroInicio}));
    ASSERT_EQ(FUi.Boxes.size(), 1u);
    EXPECT_EQ(FUi.Boxes[0].Text, kErroInicio + "'91a' is not a valid integer value");
    EXPECT_FALSE(form.FIniciado);
    EXPECT_FALSE(form.S_Server.Active());
    EXPECT_FALSE(form.tmrValidarThread.isActive());
    EXPECT_EQ(form.TrayPicture(), 1);
    EXPECT_EQ(form.CaptionServidor(), "Iniciar el Servidor");
    ASSERT_TRUE(form.BalancaB1 && form.BalancaB2);
    EXPECT_TRUE(form.BalancaB1->Terminated());
    EXPECT_TRUE(form.BalancaB1->Suspended());
    // The halted reader ends in order and releases its port, with no error of its own.
    EXPECT_TRUE(WaitUntil([&] { return form.BalancaB1->Finished(); }));
    EXPECT_TRUE(WaitUntil([&] { return DeviceIsFree(FPty.DevicePath()); }));
    EXPECT_FALSE(form.BalancaB1->FErroConexao);
    RunEventsFor(300);
    EXPECT_TRUE(NewEntries().isEmpty());
}

TEST_F(TFormServidorServidorTest, PortTestOutcomes)
{
    TComPort holder;  // another program holding the port
    holder.SetPort(FPty.DevicePath());
    const struct {
        const char* Name;
        QString Device;
        bool Held;
        bool Silent;
        bool Result;
    } cases[] = {
        {"free port", FPty.DevicePath(), false, false, true},
        {"free port, silent", FPty.DevicePath(), false, true, true},
        {"missing port", kMissing, false, false, false},
        {"missing port, silent", kMissing, false, true, false},
        {"port held elsewhere", FPty.DevicePath(), true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FUi.Boxes.clear();
        NewEntries();
        Configure("", SerialPanel(2, c.Device));
        if (c.Held)
            holder.Open();

        EXPECT_EQ(Form().TestaSerial(1, c.Silent), c.Result);

        if (c.Result) {
            EXPECT_TRUE(NewEntries().isEmpty());
            ASSERT_EQ(FUi.Boxes.size(), c.Silent ? 0u : 1u);
            if (!c.Silent) {
                EXPECT_EQ(FUi.Boxes[0].Text, "Test ejecutado satisfactoriamente.");
            }
            EXPECT_TRUE(DeviceIsFree(c.Device));  // closed again for a reader
        } else {
            ASSERT_EQ(FUi.Boxes.size(), 1u);
            EXPECT_EQ(FUi.Boxes[0].Text, "Error al conectar al puerto: " + c.Device);
            EXPECT_EQ(NewEntries(), QStringList({ErroPorta(c.Device)}));
            EXPECT_EQ(Form().Status.Lines().mid(Form().Status.Lines().size() - 2),
                      QStringList({"Error al abrir la puerta " + c.Device,
                                   "Por favor, revise la configuración de los puertos serial"}));
        }
        holder.Close();
    }
}

TEST_F(TFormServidorServidorTest, SecondScaleByItsOrigin)
{
    TListener ethernetScale;
    const QString ethernet = "127.0.0.1:" + QString::number(ethernetScale.Port());
    const struct {
        const char* Name;
        QByteArray Origem;
        QByteArray Panels;
        QStringList Lines;
        QStringList Boxes;
        bool Runs;
    } cases[] = {
        {"serial",
         "S", SerialPanel(2, FPty.DevicePath()),
         {"Lease puerta " + kMissing, "Lease puerta " + FPty.DevicePath(), kListen, kActivado},
         {},
         true},
        {"serial that cannot be opened",
         "S", SerialPanel(2, kMissing + "2"),
         {"Lease puerta " + kMissing, ErroPorta(kMissing + "2"), kListen, kActivado},
         {"Error al conectar al puerto: " + kMissing + "2"},
         false},
        {"Ethernet, without the serial test",
         "E", "[frameConfiguracaoSocketBl2]\r\nIpOrigem=127.0.0.1\r\nPortaOrigem=" +
             QByteArray::number(ethernetScale.Port()) + "\r\n" + SerialPanel(2, kMissing + "2"),
         {"Lease puerta " + kMissing, "Lease puerta " + ethernet, kListen, kActivado},
         {},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FForm.reset();
        FUi.Boxes.clear();
        NewEntries();
        // Scale 1 on a missing device keeps the line order simple: its error comes later.
        Configure("NBalanca=2\r\nTipoLeituraOrigem_BL2=" + c.Origem + "\r\n", SerialPanel(1, kMissing) + c.Panels);
        TFormServidor& form = Form();
        form.tmrValidarThread.setInterval(60000);  // no watchdog restart in this test
        form.IniciaServidor();

        QStringList lines = NewEntries();
        lines.removeAll(ErroPorta(kMissing));  // scale 1's reader may have failed already
        EXPECT_EQ(lines, c.Lines);
        QStringList boxes;
        for (const RecordedBox& box : FUi.Boxes)
            boxes << box.Text;
        EXPECT_EQ(boxes, c.Boxes);
        EXPECT_TRUE(form.S_Server.Active());
        EXPECT_EQ(!form.BalancaB2->Suspended(), c.Runs);

        form.ParaServidor();
        QStringList stop = NewEntries();
        // Scale 1's reader may or may not have failed by now.
        stop.removeAll(ErroPorta(kMissing));
        stop.removeAll("Suspendiendo puerta " + kMissing);
        if (c.Runs)
            EXPECT_EQ(stop, QStringList({"Suspendiendo puerta " + c.Lines[1].mid(13), kDesactivado}));
        else
            EXPECT_EQ(stop, QStringList({kDesactivado}));
        EXPECT_TRUE(WaitUntil([&] { return form.BalancaB2->Finished() || !form.BalancaB2->Iniciado(); }));
    }
}

TEST_F(TFormServidorServidorTest, WatchdogRestartsScale1OnlyWhileAHealthyScale2KeepsItsReader)
{
    TSimulatedScale scale2;
    Configure("NBalanca=2\r\nTempoLeituraCom=200\r\n",
              SerialPanel(1, kMissing) + SerialPanel(2, scale2.Device()));
    TFormServidor& form = Form();
    form.IniciaServidor();
    ASSERT_TRUE(form.FIniciado);
    const std::shared_ptr<TLeSerial> reader2 = form.BalancaB2;
    const std::shared_ptr<TPesoEstavel> weight2 = form.FPesoB2;
    ASSERT_TRUE(scale2.WaitUntil([&] { return weight2->PesoEstavel() == "1520"; }, 30000));

    const QString lease1 = "Lease puerta " + kMissing;
    ASSERT_TRUE(scale2.WaitUntil([&] { return FUi.Entries.count(lease1) >= 4; }, 30000)) << FUi.Entries.join('\n').toStdString();

    // Each restart: its "Lease puerta " line, then, once the new reader failed, its error.
    QStringList scale1;
    for (const QString& entry : FUi.Entries)
        if (entry == lease1 || entry == ErroPorta(kMissing))
            scale1 << entry;
    for (qsizetype i = 0; i + 1 < scale1.size(); ++i)
        EXPECT_NE(scale1[i], scale1[i + 1]) << i;
    EXPECT_EQ(scale1.first(), lease1);
    EXPECT_EQ(FUi.Entries.count("Lease puerta " + scale2.Device()), 1);
    EXPECT_EQ(FUi.Entries.count(kActivado), 1);
    EXPECT_EQ(FUi.Entries.count(kListen), 1);
    EXPECT_TRUE(FUi.Boxes.empty());

    EXPECT_EQ(form.BalancaB2, reader2);
    EXPECT_EQ(form.FPesoB2, weight2);
    EXPECT_FALSE(reader2->Finished());
    EXPECT_EQ(weight2->PesoEstavel(), "1520");
    EXPECT_TRUE(form.FIniciado);
    EXPECT_EQ(form.TrayPicture(), 0);

    // A start from the button or the tray rebuilds both scales.
    form.IniciaServidor();
    EXPECT_NE(form.BalancaB2, reader2);
    EXPECT_TRUE(WaitUntil([&] { return reader2->Finished(); }));
    form.ParaServidor();
}

// An Ethernet scale 2 that went away is rebuilt alone at each tick, answering 0 rather than its
// last weight, and reads again once it is back; the healthy scale 1 keeps its reader.
TEST_F(TFormServidorServidorTest, WatchdogRebuildsAFailedScale2OnlyAndItRecovers)
{
    TSimulatedScale scale1;
    const int porta2 = FreeLoopbackPort();
    Configure("NBalanca=2\r\nTipoLeituraOrigem_BL2=E\r\nTempoLeituraCom=200\r\n",
              SerialPanel(1, scale1.Device()) + "[frameConfiguracaoSocketBl2]\r\nIpOrigem=127.0.0.1\r\nPortaOrigem=" +
                  QByteArray::number(porta2) + "\r\n");
    TFormServidor& form = Form();
    form.IniciaServidor();
    ASSERT_TRUE(form.FIniciado);
    const std::shared_ptr<TLeSerial> reader1 = form.BalancaB1;
    const std::shared_ptr<TPesoEstavel> weight1 = form.FPesoB1;

    const QString lease2 = "Lease puerta 127.0.0.1:" + QString::number(porta2);
    const QString erro2 = QStringLiteral("Error al conectar la puerta 127.0.0.1\r\nPor favor, revise la configuración "
                                         "de los puertos serial");
    ASSERT_TRUE(scale1.WaitUntil([&] { return FUi.Entries.count(lease2) >= 3; }, 30000))
        << FUi.Entries.join('\n').toStdString();
    QStringList scale2;
    for (const QString& entry : FUi.Entries)
        if (entry == lease2 || entry == erro2)
            scale2 << entry;
    EXPECT_EQ(scale2.first(), lease2);
    for (qsizetype i = 0; i + 1 < scale2.size(); ++i)
        EXPECT_NE(scale2[i], scale2[i + 1]) << i;
    EXPECT_EQ(FUi.Entries.count("Lease puerta " + scale1.Device()), 1);
    EXPECT_EQ(FUi.Entries.count(kActivado), 1);
    EXPECT_TRUE(FUi.Boxes.empty());
    ASSERT_TRUE(scale1.WaitUntil([&] { return weight1->PesoEstavel() == "1520"; }, 30000));
    EXPECT_EQ(form.BalancaB1, reader1);
    EXPECT_EQ(form.FPesoB1, weight1);
    EXPECT_EQ(form.FPesoB2->PesoEstavel(), "0");

    // The scale is back: a later restart connects and its weight is read again.
    TListener back(16, porta2);
    int connection = -1;
    QElapsedTimer since;
    since.start();
    EXPECT_TRUE(scale1.WaitUntil(
        [&] {
            if (connection < 0)
                connection = back.TryAccept();
            else if (since.hasExpired(20)) {
                ::send(connection, "  003450 kg\r\n", 13, MSG_NOSIGNAL);
                since.restart();
            }
            return form.FPesoB2 && form.FPesoB2->PesoEstavel() == "3450";
        },
        30000));
    EXPECT_EQ(form.BalancaB1, reader1);
    form.ParaServidor();
}

TEST_F(TFormServidorServidorTest, NoStartWhileAnotherStartIsInsideABox)
{
    Configure("NBalanca=2\r\n", SerialPanel(1, FPty.DevicePath()) + SerialPanel(2, kMissing));
    TFormServidor& form = Form();
    int nested = 0;
    FUi.OnBox = [&](const RecordedBox&) {
        ++nested;
        form.IniciaServidor();
        form.FIniciado = true;  // as if a watchdog tick found scale 1 failed
        form.tmrValidarThreadTimer();
        form.FIniciado = false;
    };
    form.IniciaServidor();

    EXPECT_EQ(nested, 1);
    EXPECT_EQ(NewEntries(),
              QStringList({"Lease puerta " + FPty.DevicePath(), ErroPorta(kMissing), kListen, kActivado}));
    EXPECT_FALSE(form.BalancaB1->Suspended());
    EXPECT_TRUE(form.FIniciado);

    // Once the box is closed, a start runs again.
    FUi.OnBox = nullptr;
    form.IniciaServidor();
    EXPECT_EQ(NewEntries().first(), "Lease puerta " + FPty.DevicePath());
    form.ParaServidor();
}

TEST_F(TFormServidorServidorTest, StartupRecordWhenTheLogConfigurationAsksForIt)
{
    WriteBytes(FDir.filePath("krlog.config"),
               "STARTUP.handlers=TKrJsonFileHandler\r\nTKrJsonFileHandler.formatter=TKrJsonTextFormatter\r\n");
    startLogging(FDir.path());
    Configure("NBalanca=1\r\nTipoLeituraOrigem_BL1=X\r\n");
    Form().IniciaServidor();
    Form().ParaServidor();
    shutdownLogging();
    startLogging(QCoreApplication::applicationDirPath());

    const QStringList files = QDir(FDir.filePath("log")).entryList({"STARTUP*.LOG"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const std::string log = ReadBytes(FDir.filePath("log/" + files[0]));
    EXPECT_NE(log.find("\"Logger\":\"STARTUP\",\"Level\":\"INFO\",\"Class\":\"TFormServidor\","
                       "\"Method\":\"IniciaServidor\",\"Msg\":\"Iniciando Servidor...\",Params:\"{}\"}]"),
              std::string::npos)
        << log;
}

}  // namespace

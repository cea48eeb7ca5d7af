// The real program, run headless in a temporary program folder against the simulator.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <signal.h>

#include "config/FileBytes.h"
#include "platform/TComPort.h"
#include "server/LoopbackClient.h"
#include "support/LoopbackListener.h"
#include "support/Wait.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// Sanitizer builds start slowly: every wait is generous and polled.
constexpr int kLong = 30000;

const QString kListen = QStringLiteral("Servidor ::> Servidor em Listen!");
const QString kActivado = QStringLiteral("Servidor ::> Servidor Activado!");
const QString kMissing = QStringLiteral("/dev/ttyNaoExiste9");

QString ErroPorta(const QString& port)
{
    return QStringLiteral("Error al abrir la puerta ") + port +
           QStringLiteral("\nPor favor, revise la configuración de los puertos serial");
}

// GERAL as the program writes it, with the given values instead of the defaults.
QByteArray Geral(int porta, const QByteArray& extra = {})
{
    return "[GERAL]\r\n" + extra + "Inicializar=0\r\nPortaHost=" + QByteArray::number(porta) +
           "\r\nExpRegular=\\d\\d\\d\\d\\d+\r\nTempoLeituraCom=1000\r\nNBalanca=1\r\nVisualizarLeituras=0\r\n"
           "UtilizaTolerancia=0\r\nPassaZero=0\r\nTipoLeituraOrigem_BL1=S\r\nTipoLeituraOrigem_BL2=S\r\n"
           "PosicaoInicial_BL1=1\r\nTamanhoString_BL1=0\r\nPosicaoInicial_BL2=1\r\nTamanhoString_BL2=0\r\n";
}

QByteArray SerialPanel(int scale, const QString& device)
{
    return "[frameConfiguracaoSerialBL" + QByteArray::number(scale) + "]\r\nPort=" + device.toUtf8() + "\r\n";
}

// A child process whose output is gathered as it comes.
class TChild {
public:
    TChild() = default;
    ~TChild()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(kLong);
        }
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    void Start(const QString& program, const QStringList& arguments, const QString& folder = {},
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        FProcess.setProgram(program);
        FProcess.setArguments(arguments);
        if (!folder.isEmpty())
            FProcess.setWorkingDirectory(folder);
        FProcess.setProcessEnvironment(env);
        FProcess.start();
        ASSERT_TRUE(FProcess.waitForStarted(kLong)) << program.toStdString();
    }
    QString Out()
    {
        FOut += FProcess.readAllStandardOutput();
        return QString::fromUtf8(FOut);
    }
    QString Err()
    {
        FErr += FProcess.readAllStandardError();
        return QString::fromUtf8(FErr);
    }
    QStringList OutLines() { return Out().split('\n', Qt::SkipEmptyParts); }
    bool WaitOut(const QString& text, int ms = kLong)
    {
        return WaitUntil([&] { return Out().contains(text); }, ms);
    }
    // The exit status once it has ended; -1 when it did not end in time or crashed.
    int WaitExit(int ms = kLong)
    {
        if (!WaitUntil([&] { return FProcess.state() == QProcess::NotRunning; }, ms))
            return -1;
        Out();
        Err();
        return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
    }
    bool Running() const { return FProcess.state() == QProcess::Running; }
    void Signal(int signal) { ::kill(pid_t(FProcess.processId()), signal); }

private:
    QProcess FProcess;
    QByteArray FOut;
    QByteArray FErr;
};

// The simulator; its first line is the device path or the port.
class TScale : public TChild {
public:
    explicit TScale(const QStringList& arguments)
    {
        Start(QStringLiteral(SERVIDOR_BUILD_DIR "/simulador-balanca"), arguments);
        WaitUntil([&] { return Out().contains('\n'); }, kLong);
        Ready = Out().section('\n', 0, 0).trimmed();
    }
    QString Ready;
};

// A program folder with its own copy of the binary and its own runtime folder for the lock.
class TPrograma : public TChild {
public:
    explicit TPrograma(const QString& runtime = {})
    {
        FBinary = FFolder.filePath("servidor-serial");
        QFile::copy(QStringLiteral(SERVIDOR_BUILD_DIR "/servidor-serial"), FBinary);
        QFile::setPermissions(FBinary, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        FRuntimeDir = runtime.isEmpty() ? FRuntime.path() : runtime;
    }
    QString Path(const QString& name) const { return FFolder.filePath(name); }
    QString Folder() const { return FFolder.path(); }
    const QString& RuntimeDir() const { return FRuntimeDir; }
    void Write(const QString& name, const QByteArray& bytes) { WriteBytes(Path(name), bytes); }
    void Run(const QStringList& arguments = {"--headless"})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", FRuntimeDir);
        Start(FBinary, arguments, FFolder.path(), env);
    }

private:
    QTemporaryDir FFolder;
    QTemporaryDir FRuntime;
    QString FBinary;
    QString FRuntimeDir;
};

// Asks until the reply is the expected one (the scale needs a few polls) or the deadline passes.
QByteArray AskUntil(int port, const QByteArray& request, const QByteArray& expected, int ms = kLong)
{
    TLoopbackClient client(port);
    QByteArray reply;
    WaitUntil(
        [&] {
            client.Send(request);
            reply = client.ReadFor(200);
            return reply == expected;
        },
        ms);
    return reply;
}

class ProgramaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_THREAD__)
        // QProcess starts children with a clone that ThreadSanitizer does not see, which
        // corrupts its view of the tests that follow; the program is checked in the other builds.
        GTEST_SKIP() << "not under ThreadSanitizer";
#endif
    }
};

TEST_F(ProgramaTest, SerialScaleAnswersItsStableWeight)
{
    TPrograma programa;
    TScale scale({"--serial", programa.Path("balanca"), "--weights", "1520", "--interval-ms", "50"});
    ASSERT_FALSE(scale.Ready.isEmpty());
    const int porta = FreeLoopbackPort();
    programa.Write("ConfigSerial.ini", Geral(porta, "VisualizarLeituras=1\r\n") + SerialPanel(1, scale.Ready));
    programa.Run();

    ASSERT_TRUE(programa.WaitOut(kActivado)) << programa.Err().toStdString();
    EXPECT_EQ(programa.OutLines().mid(0, 3), QStringList({"Lease puerta " + scale.Ready, kListen, kActivado}));
    EXPECT_EQ(AskUntil(porta, "PSB1", "S1520"), "S1520");
    // "Muestra Lecturas ?" saved as on: the new weight's line.
    EXPECT_TRUE(programa.WaitOut("Bascula1 1520\n"));
    EXPECT_TRUE(programa.Err().isEmpty()) << programa.Err().toStdString();
}

TEST_F(ProgramaTest, TwoScalesSerialAndEthernet)
{
    TPrograma programa;
    TScale serial({"--serial", programa.Path("balanca"), "--weights", "1520", "--interval-ms", "50"});
    TScale ethernet({"--tcp", "0", "--weights", "3450", "--interval-ms", "50"});
    ASSERT_FALSE(serial.Ready.isEmpty());
    ASSERT_FALSE(ethernet.Ready.isEmpty());
    const int porta = FreeLoopbackPort();
    QByteArray ini = Geral(porta, "NBalanca=2\r\nTipoLeituraOrigem_BL2=E\r\n") + SerialPanel(1, serial.Ready) +
                     "[frameConfiguracaoSocketBl2]\r\nIpOrigem=127.0.0.1\r\nPortaOrigem=" + ethernet.Ready.toUtf8() +
                     "\r\n";
    programa.Write("ConfigSerial.ini", ini);
    programa.Run();

    ASSERT_TRUE(programa.WaitOut(kActivado)) << programa.Err().toStdString();
    EXPECT_EQ(programa.OutLines().mid(0, 4), QStringList({"Lease puerta " + serial.Ready,
                                                          "Lease puerta 127.0.0.1:" + ethernet.Ready, kListen,
                                                          kActivado}));
    EXPECT_EQ(AskUntil(porta, "PSB1", "S1520"), "S1520");
    EXPECT_EQ(AskUntil(porta, "PSB2", "S3450"), "S3450");
    EXPECT_EQ(AskUntil(porta, "CFGB", "2"), "2");
}

// The silent test of a serial scale 2 at start: a working port starts scale 2, a missing one
// or one held by another program writes the box and the two lines, and the server starts anyway.
TEST_F(ProgramaTest, PortTestOfSerialScale2AtStart)
{
    enum TCaso { Free, Missing, Held };
    for (TCaso caso : {Free, Missing, Held}) {
        SCOPED_TRACE(caso);
        TPrograma programa;
        TScale scale1({"--serial", programa.Path("balanca1"), "--weights", "1520", "--interval-ms", "50"});
        TScale scale2({"--serial", programa.Path("balanca2"), "--weights", "3450", "--interval-ms", "50"});
        ASSERT_FALSE(scale1.Ready.isEmpty());
        ASSERT_FALSE(scale2.Ready.isEmpty());
        const QString device2 = caso == Missing ? kMissing : scale2.Ready;
        TComPort holder;  // another program holding scale 2's port
        if (caso == Held) {
            holder.SetPort(device2);
            holder.Open();
        }
        const int porta = FreeLoopbackPort();
        programa.Write("ConfigSerial.ini",
                       Geral(porta, "NBalanca=2\r\n") + SerialPanel(1, scale1.Ready) + SerialPanel(2, device2));
        programa.Run();

        ASSERT_TRUE(programa.WaitOut(kActivado)) << programa.Err().toStdString();
        const QString lease1 = "Lease puerta " + scale1.Ready;
        if (caso == Free) {
            EXPECT_EQ(programa.OutLines().mid(0, 4),
                      QStringList({lease1, "Lease puerta " + device2, kListen, kActivado}));
            EXPECT_EQ(AskUntil(porta, "PSB2", "S3450"), "S3450");
            EXPECT_TRUE(programa.Err().isEmpty()) << programa.Err().toStdString();
        } else {
            EXPECT_EQ(programa.OutLines().mid(0, 5),
                      QStringList({lease1, "Error al abrir la puerta " + device2,
                                   "Por favor, revise la configuración de los puertos serial", kListen, kActivado}));
            EXPECT_EQ(programa.Err(), "Error al conectar al puerto: " + device2 + "\n");
        }
        EXPECT_EQ(AskUntil(porta, "PSB1", "S1520"), "S1520");
    }
}

TEST_F(ProgramaTest, MissingDeviceIsRestartedByTheWatchdogAndTheServerKeepsAnswering)
{
    TPrograma programa;
    const int porta = FreeLoopbackPort();
    programa.Write("ConfigSerial.ini", Geral(porta, "TempoLeituraCom=200\r\n") + SerialPanel(1, kMissing));
    programa.Run();

    const QString lease = "Lease puerta " + kMissing;
    ASSERT_TRUE(WaitUntil([&] { return programa.OutLines().count(lease) >= 3; }, kLong))
        << programa.Out().toStdString();
    const QString erro = ErroPorta(kMissing);
    const QString out = programa.Out();
    const qsizetype activado = out.indexOf(kActivado);
    ASSERT_GE(activado, 0);
    // The first start's lines, then each restart's "Lease puerta " line after the last failure.
    EXPECT_TRUE(out.startsWith(lease + "\n"));
    qsizetype at = activado;
    for (int restart = 0; restart < 2; ++restart) {
        SCOPED_TRACE(restart);
        const qsizetype failed = out.indexOf(erro, at);
        ASSERT_GT(failed, at);
        at = out.indexOf(lease, failed);
        ASSERT_GT(at, failed);
    }
    EXPECT_EQ(out.count(kActivado), 1);
    // The reader's own reason goes to standard error, so a user sees why.
    EXPECT_FALSE(programa.Err().isEmpty());
    EXPECT_TRUE(programa.Running());
    TLoopbackClient client(porta);
    client.Send("PSB1");
    const QByteArray reply = client.Read(2);
    EXPECT_TRUE(reply == "N0" || reply == "S0") << reply.toStdString();
}

TEST_F(ProgramaTest, FirstStartThatFailsEndsWithStatus2)
{
    TListener ocupado;
    const struct {
        const char* Name;
        QByteArray Porta;
        QString Box;
    } cases[] = {
        {"not a number", "91a", "Error de inicialización del Servidor '91a' is not a valid integer value\n"},
        {"in use", QByteArray::number(ocupado.Port()), "Error de inicialización del Servidor "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPrograma programa;
        QByteArray ini = Geral(0, "PortaHost=" + c.Porta + "\r\n");
        programa.Write("ConfigSerial.ini", ini + SerialPanel(1, kMissing));
        programa.Run();
        EXPECT_EQ(programa.WaitExit(), 2);
        EXPECT_TRUE(programa.Err().contains(c.Box)) << programa.Err().toStdString();
        EXPECT_TRUE(programa.Out().contains("Error de inicialización del Servidor \n"));
        EXPECT_FALSE(programa.Out().contains(kActivado));
    }
}

TEST_F(ProgramaTest, SecondCopyIsRefusedWhileTheFirstKeepsServing)
{
    TPrograma primeiro;
    TScale scale({"--serial", primeiro.Path("balanca"), "--weights", "1520", "--interval-ms", "50"});
    const int porta = FreeLoopbackPort();
    const QByteArray ini = Geral(porta) + SerialPanel(1, scale.Ready);
    primeiro.Write("ConfigSerial.ini", ini);
    primeiro.Run();
    ASSERT_TRUE(primeiro.WaitOut(kActivado)) << primeiro.Err().toStdString();

    // The lock is the session's: a copy in another folder is refused too, and writes nothing.
    for (bool sameFolder : {true, false}) {
        SCOPED_TRACE(sameFolder);
        if (sameFolder) {
            TChild segundo;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_RUNTIME_DIR", primeiro.RuntimeDir());
            segundo.Start(primeiro.Path("servidor-serial"), {"--headless"}, primeiro.Folder(), env);
            EXPECT_EQ(segundo.WaitExit(), 1);
            EXPECT_EQ(segundo.Err(), QString::fromUtf8("Atención: Atención el programa ya está abierto!\n"));
            EXPECT_TRUE(segundo.Out().isEmpty());
        } else {
            TPrograma outro(primeiro.RuntimeDir());
            outro.Run();
            EXPECT_EQ(outro.WaitExit(), 1);
            EXPECT_EQ(outro.Err(), QString::fromUtf8("Atención: Atención el programa ya está abierto!\n"));
            EXPECT_FALSE(QFile::exists(outro.Path("ConfigSerial.ini")));
        }
    }
    EXPECT_EQ(ReadBytes(primeiro.Path("ConfigSerial.ini")), ini.toStdString());
    EXPECT_TRUE(primeiro.Running());
    EXPECT_EQ(AskUntil(porta, "PSB1", "S1520"), "S1520");

    // After the first copy ended, also when killed, a copy runs normally.
    primeiro.Signal(SIGKILL);
    primeiro.WaitExit();
    TPrograma depois(primeiro.RuntimeDir());
    depois.Write("ConfigSerial.ini", Geral(FreeLoopbackPort()) + SerialPanel(1, kMissing));
    depois.Run();
    EXPECT_TRUE(depois.WaitOut(kActivado)) << depois.Err().toStdString();
}

TEST_F(ProgramaTest, SigtermStopsTheServerAndCompletesTheJsonLog)
{
    TPrograma programa;
    TScale scale({"--serial", programa.Path("balanca"), "--weights", "1520", "--interval-ms", "50"});
    const int porta = FreeLoopbackPort();
    programa.Write("ConfigSerial.ini", Geral(porta) + SerialPanel(1, scale.Ready));
    programa.Write("krlog.config",
                   "STARTUP.handlers=TKrJsonFileHandler\r\nTKrJsonFileHandler.formatter=TKrJsonTextFormatter\r\n");
    programa.Run();
    ASSERT_TRUE(programa.WaitOut(kActivado)) << programa.Err().toStdString();
    EXPECT_EQ(AskUntil(porta, "PSB1", "S1520"), "S1520");

    programa.Signal(SIGTERM);
    EXPECT_EQ(programa.WaitExit(), 0);
    EXPECT_TRUE(programa.Out().endsWith("Suspendiendo puerta " + scale.Ready + "\nServidor ::> Servidor Desactivado!\n"))
        << programa.Out().toStdString();
    const QStringList logs = QDir(programa.Path("log")).entryList({"STARTUP*.LOG"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const std::string log = ReadBytes(programa.Path("log/" + logs[0]));
    EXPECT_EQ(log.rfind("[\r\n{\"Date\":", 0), 0u) << log;
    EXPECT_NE(log.find("\"Method\":\"IniciaServidor\",\"Msg\":\"Iniciando Servidor...\",Params:\"{}\"}]"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.back(), ']');
}

TEST_F(ProgramaTest, FirstStartInAnEmptyFolderWritesTheDefaults)
{
    TPrograma programa;
    programa.Run();
    // The defaults listen on 9191, which another program may hold: either way the file is there.
    ASSERT_TRUE(WaitUntil([&] { return programa.Out().contains(kActivado) || !programa.Running(); }, kLong));
    EXPECT_EQ(ReadBytes(programa.Path("ConfigSerial.ini")),
              "[GERAL]\r\nInicializar=0\r\nPortaHost=9191\r\nExpRegular=\\d\\d\\d\\d\\d+\r\n"
              "TempoLeituraCom=1000\r\nNBalanca=1\r\nVisualizarLeituras=0\r\nUtilizaTolerancia=0\r\n"
              "PassaZero=0\r\nTipoLeituraOrigem_BL1=S\r\nTipoLeituraOrigem_BL2=S\r\n"
              "PosicaoInicial_BL1=1\r\nTamanhoString_BL1=0\r\nPosicaoInicial_BL2=1\r\nTamanhoString_BL2=0\r\n");
    EXPECT_TRUE(programa.Out().startsWith("Lease puerta COM1\n")) << programa.Out().toStdString();
}

TEST_F(ProgramaTest, HelpAndVersion)
{
    const struct {
        const char* Option;
        int Status;
        const char* Starts;
        bool OnOutput;
    } cases[] = {
        {"--help", 0, "Usage: servidor-serial", true},
        {"--version", 0, "servidor-serial " SERVIDOR_VERSION "\n", true},
        {"--nao-existe", 2, "servidor-serial: unknown option '--nao-existe'", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Option);
        TPrograma programa;
        programa.Run({c.Option});
        EXPECT_EQ(programa.WaitExit(), c.Status);
        EXPECT_TRUE((c.OnOutput ? programa.Out() : programa.Err()).startsWith(c.Starts));
        EXPECT_FALSE(QFile::exists(programa.Path("ConfigSerial.ini")));
    }
}

}  // namespace

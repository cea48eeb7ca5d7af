// Program entry: logging start-up, one running copy per user session, then the server core,
// with the window or headless.
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/signalfd.h>
#include <unistd.h>

#include "Log/UKrLog.h"
#include "app/ApplicationErrors.h"
#include "app/TFormServidor.h"
#include "app/THeadlessUserInterface.h"
#include "platform/TInstanceLock.h"
#include "platform/TMainThreadExecutor.h"
#include "platform/UserInterface.h"

namespace {

const char* const kUsage =
    "Usage: servidor-serial [--headless]\n"
    "\n"
    "Weighing-scale server: reads one or two scales over a serial port or TCP and answers\n"
    "client programs on a TCP port (PSB1, PSB2, PSL1, PSL2, CFGB).\n"
    "\n"
    "  --headless   run without a window: start the server at once, status lines on\n"
    "               standard output, message boxes on standard error\n"
    "  --help       show this text and end\n"
    "  --version    show the version and end\n"
    "\n"
    "ConfigSerial.ini, krlog.config and the log folder live in the program's own folder;\n"
    "the serial and Ethernet panels' sections in ConfigSerial.ini of the working directory.\n";

// Ends the process without running destructors: reader threads may still be inside their
// last poll, and nothing of theirs must be torn down under them. Everything that had to be
// written (log files, standard streams) is flushed first.
[[noreturn]] void Sai(int code)
{
    TMainThreadExecutor::Instance().Shutdown();
    shutdownLogging();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

}  // namespace

int main(int argc, char** argv)
{
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--headless") {
            headless = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version" || arg == "-V") {
            std::printf("servidor-serial %s\n", SERVIDOR_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "servidor-serial: unknown option '%s'\n\n%s", argv[i], kUsage);
            return 2;
        }
    }
    // The window is not part of this build yet: the program runs as in headless mode.
    headless = true;

    // SIGINT and SIGTERM are taken as events of the main loop; blocked before any thread exists
    // so that every thread inherits the mask.
    sigset_t sinais;
    sigemptyset(&sinais);
    sigaddset(&sinais, SIGINT);
    sigaddset(&sinais, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &sinais, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    const QString pastaPrograma = QCoreApplication::applicationDirPath();
    startLogging(pastaPrograma);

    THeadlessUserInterface ui;
    SetUserInterface(&ui);
    TMainThreadExecutor::Instance();

    TInstanceLock instancia(QStringLiteral("InstanciaIniciada"));
    if (instancia.Result() == TInstanceLock::TResult::HeldByAnother) {
        UserInterface().MessageBox(QStringLiteral("Atención el programa ya está abierto!"),
                                   QStringLiteral("Atención"), TMsgIcon::Information);
        Sai(1);
    }

    // Never destroyed: see Sai.
    auto* form = new TFormServidor(pastaPrograma, QDir::currentPath());
    if (headless) {
        QObject::connect(form, &TFormServidor::LeituraFalhou, [](const QString& mensagem) {
            const QByteArray bytes = mensagem.toUtf8() + '\n';
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
            std::fflush(stderr);
        });
    }

    if (!Guarded([&] { form->FormCreate(); }))
        Sai(2);
    // Headless: the server is started once, at once, whatever Inicializar says; a first start
    // that fails ends the program, so a service manager sees it.
    form->IniciaServidor();
    if (!form->S_Server.Active())
        Sai(2);

    const int fdSinais = signalfd(-1, &sinais, SFD_CLOEXEC | SFD_NONBLOCK);
    QSocketNotifier notificador(fdSinais, QSocketNotifier::Read);
    QObject::connect(&notificador, &QSocketNotifier::activated, [&] {
        signalfd_siginfo info{};
        while (::read(fdSinais, &info, sizeof info) == ssize_t(sizeof info)) {
        }
        Guarded([&] { form->ParaServidor(); });
        Sai(0);
    });

    app.exec();
    Sai(0);
}

// Hosts the core's weight server for the load comparison: the core object with its server
// socket and the client protocol it wires, scale 1 configured on a serial origin with a stable
// weight of 1520 (so "PSB1" is answered "S1520"), running the Qt main loop until SIGINT or SIGTERM.
//
//   server_host --port 9191
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/TFormServidor.h"
#include "scale/TConfiguracaoSerial.h"
#include "scale/TLeSerial.h"
#include "scale/TPesoEstavel.h"

namespace {
int stopEvent = -1;
void OnSignal(int)
{
    const uint64_t one = 1;
    (void)!::write(stopEvent, &one, sizeof one);
}
}  // namespace

int main(int argc, char** argv)
{
    int port = 9191;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--port") == 0)
            port = std::atoi(argv[i + 1]);
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }

    QCoreApplication app(argc, argv);
    stopEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    QSocketNotifier stop(stopEvent, QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    QTemporaryDir folder;
    TFormServidor form(folder.path(), folder.path());
    std::shared_ptr<TPesoEstavel> peso1 =
        std::make_shared<TPesoEstavel>(QStringLiteral("Bascula1"), true, form.ConfiguracaoGeral.ExpRegular);
    peso1->LimpaPeso(QStringLiteral("001520\r001520\r001520\r001520\r001520"));
    form.BalancaB1 = TLeSerial::Create(std::make_shared<TConfiguracaoSerial>(), nullptr, peso1, 1000, form.Status);

    form.S_Server.SetPort(port);
    form.S_Server.SetActive(true);
    std::printf("server_host listening on port %d\n", form.S_Server.LocalPort());
    std::fflush(stdout);
    // The most connections held at once, to show that idle ones were really accepted.
    std::size_t peak = 0;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { peak = std::max(peak, form.S_Server.ActiveConnections()); });
    sample.start(100);
    app.exec();
    std::printf("server_host: at most %zu connections at once, %zu open at the end\n", peak,
                form.S_Server.ActiveConnections());
    form.S_Server.SetActive(false);
    return 0;
}

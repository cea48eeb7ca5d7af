#include "platform/TMainThreadExecutor.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

QString ClosedText() { return QStringLiteral("The program is ending; the step was not run"); }

}  // namespace

TMainThreadExecutor::TMainThreadExecutor() : FMainThread(std::this_thread::get_id())
{
    FEventFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FEventFd < 0)
        throw Exception(QStringLiteral("eventfd: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    FNotifier = new QSocketNotifier(FEventFd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TMainThreadExecutor::RunPending);
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &TMainThreadExecutor::Shutdown);
}

TMainThreadExecutor::~TMainThreadExecutor()
{
    Shutdown();
    delete FNotifier;
    ::close(FEventFd);
}

TMainThreadExecutor& TMainThreadExecutor::Instance()
{
    static TMainThreadExecutor* instance = new TMainThreadExecutor;
    return *instance;
}

void TMainThreadExecutor::Run(std::function<void()> step)
{
    if (IsMainThread()) {
        step();
        return;
    }
    auto item = std::make_shared<TStep>();
    item->Work = std::move(step);
    {
        std::unique_lock lock(FLock);
        if (FClosed)
            throw EExecutorClosed(ClosedText());
        FQueue.push_back(item);
        const std::uint64_t one = 1;
        // The counter only saturates after 2^64 wake-ups; a failed write leaves the step queued
        // for the next wake-up.
        (void)!::write(FEventFd, &one, sizeof one);
        FDone.wait(lock, [&] { return item->Done; });
    }
    if (item->Error)
        std::rethrow_exception(item->Error);
}

void TMainThreadExecutor::RunPending()
{
    std::uint64_t count = 0;
    (void)!::read(FEventFd, &count, sizeof count);
    // One at a time with the lock released: a step may run a nested loop (a message box)
    // that comes back here.
    for (;;) {
        std::shared_ptr<TStep> item;
        {
            std::lock_guard lock(FLock);
            if (FQueue.empty())
                return;
            item = std::move(FQueue.front());
            FQueue.pop_front();
        }
        try {
            item->Work();
        } catch (...) {
            item->Error = std::current_exception();
        }
        item->Work = nullptr;  // the step's captures die on the main thread
        {
            std::lock_guard lock(FLock);
            item->Done = true;
        }
        FDone.notify_all();
    }
}

void TMainThreadExecutor::Shutdown()
{
    {
        std::lock_guard lock(FLock);
        FClosed = true;
        for (const auto& item : FQueue) {
            item->Error = std::make_exception_ptr(EExecutorClosed(ClosedText()));
            item->Done = true;
        }
        FQueue.clear();
    }
    FDone.notify_all();
}

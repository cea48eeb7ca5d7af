#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Exception.h"

class QSocketNotifier;

// Raised in a caller whose step cannot run because the program is ending.
class EExecutorClosed : public Exception {
public:
    using Exception::Exception;
};

// Runs steps of other threads on the main thread while they wait ("synchronise"): a guarded
// queue woken by an eventfd that one notifier of the main loop watches. An error raised by the
// step is raised again in the caller. Built on std primitives so that every hand-off is visible
// to the thread sanitizer.
class TMainThreadExecutor : public QObject {
    Q_OBJECT
public:
    // Must be made on the main thread, with the Qt application object in place.
    TMainThreadExecutor();
    ~TMainThreadExecutor() override;

    // The process's executor; its first use must be on the main thread. Never destroyed, so
    // threads still running at exit find it (closed).
    static TMainThreadExecutor& Instance();

    // Runs the step on the main thread and waits for its end. On the main thread itself the
    // step runs at once. Raises EExecutorClosed once Shutdown has run.
    void Run(std::function<void()> step);
    // Fails the steps still waiting and every later one; for the end of the program.
    void Shutdown();
    bool IsMainThread() const { return std::this_thread::get_id() == FMainThread; }

private:
    struct TStep {
        std::function<void()> Work;
        std::exception_ptr Error;
        bool Done = false;
    };

    void RunPending();

    const std::thread::id FMainThread;
    int FEventFd = -1;
    QSocketNotifier* FNotifier = nullptr;
    std::mutex FLock;
    std::condition_variable FDone;
    std::deque<std::shared_ptr<TStep>> FQueue;
    bool FClosed = false;
};

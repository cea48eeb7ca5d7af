#pragma once

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

// A real pseudo-terminal for serial tests: the test writes on the master side, the code under
// test opens DevicePath() as its serial port.
class TPseudoTerminal {
public:
    TPseudoTerminal()
    {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
            throw std::runtime_error("no pseudo-terminal");
        FPath = QString::fromLocal8Bit(::ptsname(FMaster));
    }
    ~TPseudoTerminal() { Hangup(); }
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    const QString& DevicePath() const { return FPath; }
    int Master() const { return FMaster; }

    // Writes every byte, waiting (bounded) while the buffer is full.
    bool Write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        for (int tries = 0; done < bytes.size() && tries < 1000; ++tries) {
            const ssize_t n = ::write(FMaster, bytes.constData() + done, bytes.size() - done);
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            pollfd wait{FMaster, POLLOUT, 0};
            ::poll(&wait, 1, 10);
        }
        return done == bytes.size();
    }

    // The other end goes away, as a pulled USB adapter.
    void Hangup()
    {
        if (FMaster >= 0)
            ::close(FMaster);
        FMaster = -1;
    }

private:
    int FMaster = -1;
    QString FPath;
};

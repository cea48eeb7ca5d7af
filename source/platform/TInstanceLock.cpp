#include "platform/TInstanceLock.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

QString TInstanceLock::RuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QString::fromLocal8Bit(runtime);
    return QDir::tempPath();
}

TInstanceLock::TInstanceLock(const QString& name)
{
    const bool shared = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR");
    // In a folder shared by all users the name carries the user id, so users don't meet.
    const QString file = shared ? QStringLiteral("%1-%2.lock").arg(name).arg(getuid())
                                : name + QStringLiteral(".lock");
    FPath = QDir(RuntimeFolder()).filePath(file);
    const QByteArray path = QFile::encodeName(FPath);
    FFd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (FFd < 0)
        return;  // no lock can be made: run as the first copy
    struct stat st {};
    // Someone else's file (or not a plain file) in a shared folder: don't trust it.
    if (::fstat(FFd, &st) != 0 || st.st_uid != getuid() || !S_ISREG(st.st_mode)) {
        ::close(FFd);
        FFd = -1;
        return;
    }
    if (::flock(FFd, LOCK_EX | LOCK_NB) == 0) {
        FResult = TResult::Acquired;
        return;
    }
    FResult = errno == EWOULDBLOCK ? TResult::HeldByAnother : TResult::Unavailable;
    ::close(FFd);
    FFd = -1;
}

TInstanceLock::~TInstanceLock()
{
    if (FFd >= 0)
        ::close(FFd);
}

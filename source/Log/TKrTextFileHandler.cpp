#include "Log/TKrTextFileHandler.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "Log/EInOutError.h"
#include "Log/TKrLogClock.h"
#include "Log/TKrLogRecord.h"
#include "Log/UKrLog.h"
#include "platform/AnsiText.h"

namespace {

QString ErrorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

}  // namespace

TKrTextFileHandler::~TKrTextFileHandler()
{
    if (F < 0)
        return;
    try {
        Write(FFooter);
    } catch (...) {
        // A destructor cannot report; every record before the footer is already on disk.
    }
    ::close(F);
}

void TKrTextFileHandler::configure()
{
    TKrHandler::configure();

    const QString folder = getLogFolderName();
    QDir().mkpath(folder);  // its failure shows as the failure to create the file
    FFileName = folder + loggerName() + TKrLogClock::Now().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                Extension();

    // A name with a path separator would put the file outside the log folder.
    if (loggerName().contains(QLatin1Char('/')) || loggerName().contains(QLatin1Char('\\')) ||
        loggerName().contains(QChar(0)))
        throw EInOutError(QStringLiteral("No se puede crear el archivo de log \"%1\": %2 (error %3)")
                              .arg(FFileName, ErrorText(EINVAL))
                              .arg(EINVAL),
                          EINVAL);

    // A file made anew, so an earlier handler that computed the same name in the same second
    // keeps writing to its own (now unnamed) file instead of interleaving with this one.
    const QByteArray path = QFile::encodeName(FFileName);
    ::unlink(path.constData());
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        const int code = errno;
        throw EInOutError(QStringLiteral("No se puede crear el archivo de log \"%1\": %2 (error %3)")
                              .arg(FFileName, ErrorText(code))
                              .arg(code),
                          code);
    }
    F = fd;
    // Kept now: the derived class is gone by the time the destructor runs.
    FFooter = Footer();
    Write(Header());
    FHasData = false;
}

void TKrTextFileHandler::publish(const TKrLogRecord& rec)
{
    if (!isLoggable(rec) || F < 0)
        return;
    // Without a formatter there is no line to write; the file stays as it is.
    if (!Formatter())
        return;
    const QString line = Formatter()->Format(rec);
    if (FHasData)
        Write(Separator());
    FHasData = true;
    Write(line);
}

void TKrTextFileHandler::Write(const QString& text)
{
    const QByteArray bytes = StringToAnsi(text);
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(F, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            throw EInOutError(QStringLiteral("No se puede escribir el archivo de log \"%1\": %2 (error %3)")
                                  .arg(FFileName, ErrorText(code))
                                  .arg(code),
                              code);
        }
        data += n;
        left -= n;
    }
}

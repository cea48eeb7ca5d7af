#include "Log/UKrLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "Log/TKrCSVFileHandler.h"
#include "Log/TKrCSVTextFormatter.h"
#include "Log/TKrCSVTextFormatter2.h"
#include "Log/TKrClassRegistry.h"
#include "Log/TKrFileHandlerNULL.h"
#include "Log/TKrJsonFileHandler.h"
#include "Log/TKrJsonTextFormatter.h"
#include "Log/TKrLogManager.h"
#include "platform/AnsiText.h"

namespace {

std::mutex gFolderMutex;
QString gProgramFolder;
bool gProgramFolderSet = false;

QString WithSeparator(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The whole file, or false with errno set.
bool ReadWholeFile(const QByteArray& path, QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            errno = code;
            return false;
        }
        bytes.append(buffer, n);
    }
    ::close(fd);
    return true;
}

QString DecodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uchar a = uchar(bytes[2 * i]), b = uchar(bytes[2 * i + 1]);
        text[i] = QChar(bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a));
    }
    return text;
}

}  // namespace

void setLogProgramFolder(const QString& folder)
{
    std::lock_guard lock(gFolderMutex);
    gProgramFolder = folder;
    gProgramFolderSet = true;
}

QString getLogProgramFolder()
{
    {
        std::lock_guard lock(gFolderMutex);
        if (gProgramFolderSet)
            return gProgramFolder;
    }
    return QCoreApplication::applicationDirPath();
}

QString getLogFolderName()
{
    return WithSeparator(getLogProgramFolder()) + QStringLiteral("log/");
}

QString getLogConfigFileName()
{
    return WithSeparator(getLogProgramFolder()) + QStringLiteral("krlog.config");
}

QStringList getDefaultLogConfiguration()
{
    return {
        QStringLiteral("# Global logging properties."),
        QStringLiteral("# ") + QString(42, QLatin1Char('-')),
        QStringLiteral("root.handlers=TKrFileHandlerNULL"),
        QStringLiteral("root.level=OFF"),
        QString(),
        QStringLiteral("# Handlers"),
        QStringLiteral("# ") + QString(41, QLatin1Char('-')),
        QString(),
        QStringLiteral("# --- TKrOrvaneFormatter ---"),
        QStringLiteral("# Override of global logging level"),
        QStringLiteral("#TKrOrvaneHandler.formatter=TKrOrvaneFormatter"),
        QStringLiteral("#TKrOrvaneHandler.level=INFO"),
        QString(),
        QStringLiteral("# --- TKrFileHandler ---"),
        QStringLiteral("# Override of global logging level"),
        QStringLiteral("TKrJsonFileHandler.formatter=TKrJsonTextFormatter"),
        QStringLiteral("TKrJsonFileHandler.level=OFF"),
        QString(),
        QStringLiteral("# Loggers"),
        QStringLiteral("# ") + QString(41, QLatin1Char('-')),
        QStringLiteral("# Override of handlers logging level"),
        QStringLiteral("#faturas.handlers=TKrJsonFileHandler"),
        QStringLiteral("#mensagens.handlers=TKrJsonFileHandler"),
    };
}

QStringList splitLogConfiguration(const QByteArray& bytes)
{
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text = QString::fromUtf8(QByteArrayView(bytes).sliced(3));
    else if (bytes.startsWith("\xFF\xFE"))
        text = DecodeUtf16(QByteArrayView(bytes).sliced(2), false);
    else if (bytes.startsWith("\xFE\xFF"))
        text = DecodeUtf16(QByteArrayView(bytes).sliced(2), true);
    else
        text = AnsiToString(bytes);

    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    // A last line without a break counts; a break at the end adds no empty line.
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

void loadLogConfiguration()
{
    QStringList lines = getDefaultLogConfiguration();
    const QString fileName = getLogConfigFileName();
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st {};
    if (::stat(path.constData(), &st) == 0 || errno != ENOENT) {
        QByteArray bytes;
        if (ReadWholeFile(path, bytes)) {
            lines = splitLogConfiguration(bytes);
        } else {
            // The program goes on with the defaults, but the reason is not lost.
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            std::fprintf(stderr, "%s\n",
                         qPrintable(QStringLiteral("No se puede leer %1: %2; se usa la configuración de log por omisión")
                                        .arg(fileName, reason)));
        }
    }
    TKrLogManager::Reset();
    TKrLogManager::getLogManager()->setProperties(lines);
}

void startLogging(const QString& programFolder)
{
    setLogProgramFolder(programFolder);
    TKrClassRegistry::RegisterHandlerClass<TKrJsonFileHandler>(QStringLiteral("TKrJsonFileHandler"));
    TKrClassRegistry::RegisterHandlerClass<TKrFileHandlerNULL>(QStringLiteral("TKrFileHandlerNULL"));
    loadLogConfiguration();
    TKrClassRegistry::RegisterFormatterClass<TKrJsonTextFormatter>(QStringLiteral("TKrJsonTextFormatter"));
    TKrClassRegistry::RegisterHandlerClass<TKrCSVFileHandler>(QStringLiteral("TKrCSVFileHandler"));
    TKrClassRegistry::RegisterFormatterClass<TKrCSVTextFormatter>(QStringLiteral("TKrCSVTextFormatter"));
    TKrClassRegistry::RegisterFormatterClass<TKrCSVTextFormatter2>(QStringLiteral("TKrCSVTextFormatter2"));
}

void shutdownLogging()
{
    TKrLogManager::Reset();
}

#include "config/TIniFile.h"

#include <QFileInfo>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/TIniText.h"
#include "platform/RegionalSettings.h"

namespace {

// The whole file, or nothing when it cannot be read.
std::optional<QByteArray> ReadAll(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buf, n);
    }
    ::close(fd);
    return bytes;
}

bool WriteFully(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

// Replaces the file with the bytes through a temporary file in the same folder, so a crash
// leaves either the old or the new file, never a truncated one. A link is followed, so the
// file it names is the one replaced. The file keeps its permissions.
bool ReplaceFile(const QByteArray& path, const QByteArray& data, const struct stat* existing)
{
    static std::atomic<unsigned> counter{0};
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = path + ".tmp" + QByteArray::number(qint64(::getpid())) + '.' +
               QByteArray::number(counter++);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = true;
    if (existing) {
        ok = ::fchmod(fd, existing->st_mode & 07777) == 0;
        // The owner is kept where we may give it; where not, the new file is simply ours.
        [[maybe_unused]] const int owned = ::fchown(fd, existing->st_uid, existing->st_gid);
    }
    ok = ok && WriteFully(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.constData(), path.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

}  // namespace

TIniFile::TIniFile(QString fileName) : FFileName(std::move(fileName)) {}

std::optional<QString> TIniFile::Value(const QString& section, const QString& key)
{
    if (!FCache)
        FCache = ReadAll(QFile::encodeName(FFileName)).value_or(QByteArray());
    return TIniText::ReadValue(*FCache, section, key);
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue)
{
    return Value(section, key).value_or(defaultValue);
}

std::optional<int> TIniFile::ParseInteger(const QString& text)
{
    bool ok = false;
    qint64 v = 0;
    if (text.size() > 2 && text[0] == QLatin1Char('0') &&
        (text[1] == QLatin1Char('x') || text[1] == QLatin1Char('X'))) {
        const QString digits = text.mid(2);
        for (QChar c : digits)
            if (!isxdigit(c.unicode() < 128 ? c.unicode() : 'g'))
                return std::nullopt;
        v = digits.toLongLong(&ok, 16);
    } else {
        qsizetype i = 0;
        if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
            ++i;
        if (i == text.size())
            return std::nullopt;
        for (; i < text.size(); ++i)
            if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
                return std::nullopt;
        v = text.toLongLong(&ok, 10);
    }
    if (!ok || v < INT_MIN || v > INT_MAX)
        return std::nullopt;
    return int(v);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue)
{
    const std::optional<QString> text = Value(section, key);
    if (!text)
        return defaultValue;
    return ParseInteger(*text).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool defaultValue)
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const QString& section, const QString& key, double defaultValue)
{
    const std::optional<QString> text = Value(section, key);
    double value = defaultValue;
    if (text && !text->isEmpty() && TryStrToFloat(*text, value))
        return value;
    return defaultValue;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QByteArray requested = QFile::encodeName(FFileName);
    QByteArray path = requested;
    const QFileInfo info(FFileName);
    if (info.isSymLink()) {
        QString target = info.canonicalFilePath();  // the end of a chain of links
        if (target.isEmpty())
            target = info.symLinkTarget();  // a dangling link: create what it names
        if (!target.isEmpty())
            path = QFile::encodeName(target);
    }
    struct stat st {};
    const bool exists = ::stat(path.constData(), &st) == 0;
    std::optional<QByteArray> current;
    bool ok = true;
    if (exists) {
        // A file we may not write, or cannot read whole, is never replaced.
        ok = S_ISREG(st.st_mode) && ::access(path.constData(), W_OK) == 0;
        if (ok) {
            current = ReadAll(path);
            ok = current.has_value();
        }
    } else {
        ok = errno == ENOENT;
    }
    QByteArray updated;
    if (ok) {
        updated = TIniText::WriteValue(current.value_or(QByteArray()), section, key, value);
        ok = ReplaceFile(path, updated, exists ? &st : nullptr);
    }
    if (!ok)
        throw EIniFileException(QStringLiteral("Unable to write to %1").arg(FFileName));
    FCache = std::move(updated);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::WriteFloat(const QString& section, const QString& key, double value)
{
    WriteString(section, key, FloatToStr(value));
}

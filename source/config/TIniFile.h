#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/Exception.h"

class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// A profile (INI) file on disk with the Windows rules. Every write goes to disk at once,
// one key at a time, and replaces the file atomically. Reading never fails: a missing or
// unreadable file, section or key, or a value of the wrong form, gives the default.
class TIniFile {
public:
    explicit TIniFile(QString fileName);

    const QString& FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue);
    // Decimal, or hexadecimal after "0x"/"0X"; anything else gives the default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue);
    // An integer; any value other than 0 is true.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue);
    // A number in the regional form; empty or unreadable gives the default.
    double ReadFloat(const QString& section, const QString& key, double defaultValue);

    // Each raises EIniFileException "Unable to write to <file>" when the file cannot be written.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void WriteFloat(const QString& section, const QString& key, double value);

    // The integer rule on its own: decimal with an optional sign, or "0x" + hexadecimal.
    static std::optional<int> ParseInteger(const QString& text);

private:
    std::optional<QString> Value(const QString& section, const QString& key);

    QString FFileName;
    // The file as last read or written by this object, so a load reads it once.
    std::optional<QByteArray> FCache;
};

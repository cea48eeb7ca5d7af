#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The bytes of a profile (INI) file and the rules by which they are read and edited.
// Lines end with LF, CR LF or CR; section and key names compare without case; a value is
// trimmed of blanks and loses one pair of enclosing quotes. Only the first section of a
// name and the first key of a name inside it count, for reading and writing alike.
// Any bytes are accepted: what cannot be parsed is simply not a key.
class TIniText {
public:
    // The value as read, or nothing when the section or key is missing.
    static std::optional<QString> ReadValue(QByteArrayView bytes, const QString& section,
                                            const QString& key);

    // The file with the key set: an existing key is rewritten in place, a new key goes at the
    // end of its section, a new section at the end of the file. Every other byte is kept.
    // New lines end with CR LF. Line breaks inside the names or value become blanks, so a
    // value can never add lines of its own.
    static QByteArray WriteValue(QByteArrayView bytes, const QString& section,
                                 const QString& key, const QString& value);
};

#include "config/TIniText.h"

#include "platform/AnsiText.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView Trimmed(QByteArrayView v)
{
    qsizetype b = 0, e = v.size();
    while (b < e && IsBlank(v[b]))
        ++b;
    while (e > b && IsBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

// One line of the file: [Begin, End) is its text, End + EolLength the start of the next.
struct TLine {
    qsizetype Begin = 0;
    qsizetype End = 0;
    qsizetype EolLength = 0;
};

class TLineReader {
public:
    explicit TLineReader(QByteArrayView bytes) : FBytes(bytes) {}

    bool Next(TLine& line)
    {
        if (FPos >= FBytes.size())
            return false;
        const char* data = FBytes.data();
        qsizetype i = FPos;
        const qsizetype n = FBytes.size();
        while (i < n && data[i] != '\n' && data[i] != '\r')
            ++i;
        line.Begin = FPos;
        line.End = i;
        line.EolLength = 0;
        if (i < n) {
            line.EolLength = (data[i] == '\r' && i + 1 < n && data[i + 1] == '\n') ? 2 : 1;
        }
        FPos = i + line.EolLength;
        return true;
    }

private:
    QByteArrayView FBytes;
    qsizetype FPos = 0;
};

enum class TLineKind { Other, Section, Key };

struct TParsedLine {
    TLineKind Kind = TLineKind::Other;
    QByteArrayView Name;   // section or key name, trimmed
    QByteArrayView Value;  // key value, trimmed, quotes still on
};

TParsedLine Parse(QByteArrayView text)
{
    TParsedLine result;
    QByteArrayView t = Trimmed(text);
    if (t.isEmpty() || t[0] == ';')
        return result;
    if (t[0] == '[') {
        const qsizetype close = t.indexOf(']');
        if (close > 0) {
            result.Kind = TLineKind::Section;
            result.Name = Trimmed(t.sliced(1, close - 1));
        }
        return result;
    }
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return result;
    QByteArrayView name = Trimmed(t.first(eq));
    if (name.isEmpty())
        return result;
    result.Kind = TLineKind::Key;
    result.Name = name;
    result.Value = Trimmed(t.sliced(eq + 1));
    return result;
}

bool SameName(QByteArrayView bytes, const QString& name)
{
    // Names are short; only lines whose length could match are decoded.
    if (bytes.size() != name.size())
        return false;
    return AnsiToString(bytes).compare(name, Qt::CaseInsensitive) == 0;
}

QString Unquoted(QByteArrayView value)
{
    if (value.size() >= 2) {
        const char q = value[0];
        if ((q == '"' || q == '\'') && value[value.size() - 1] == q)
            value = value.sliced(1, value.size() - 2);
    }
    return AnsiToString(value);
}

QByteArray OneLine(const QString& text)
{
    QByteArray bytes = StringToAnsi(text);
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

// Where the key and its section stand in the file.
struct TPlace {
    bool SectionFound = false;
    qsizetype InsertAt = -1;      // after the section's last key (or its header)
    bool InsertAfterBareLine = false;  // that line is the file's last and has no line break
    bool KeyFound = false;
    TLine KeyLine;
    QByteArrayView KeyName;
};

TPlace Locate(QByteArrayView bytes, const QString& section, const QString& key)
{
    TPlace place;
    TLineReader reader(bytes);
    TLine line;
    bool inSection = false;
    while (reader.Next(line)) {
        const TParsedLine parsed = Parse(bytes.sliced(line.Begin, line.End - line.Begin));
        if (parsed.Kind == TLineKind::Section) {
            if (inSection)
                break;  // the first section of the name has ended
            if (SameName(parsed.Name, section)) {
                inSection = true;
                place.SectionFound = true;
                place.InsertAt = line.End + line.EolLength;
                place.InsertAfterBareLine = line.EolLength == 0;
            }
            continue;
        }
        if (!inSection || parsed.Kind != TLineKind::Key)
            continue;
        place.InsertAt = line.End + line.EolLength;
        place.InsertAfterBareLine = line.EolLength == 0;
        if (SameName(parsed.Name, key)) {
            place.KeyFound = true;
            place.KeyLine = line;
            place.KeyName = parsed.Name;
            break;
        }
    }
    return place;
}

}  // namespace

std::optional<QString> TIniText::ReadValue(QByteArrayView bytes, const QString& section,
                                           const QString& key)
{
    const TPlace place = Locate(bytes, section, key);
    if (!place.KeyFound)
        return std::nullopt;
    const TParsedLine parsed =
        Parse(bytes.sliced(place.KeyLine.Begin, place.KeyLine.End - place.KeyLine.Begin));
    return Unquoted(parsed.Value);
}

QByteArray TIniText::WriteValue(QByteArrayView bytes, const QString& section,
                                const QString& key, const QString& value)
{
    static const QByteArray kEol("\r\n");
    const TPlace place = Locate(bytes, section, key);
    QByteArray out;
    out.reserve(bytes.size() + key.size() + value.size() + section.size() + 8);
    if (place.KeyFound) {
        // The file's own spelling of the key and its line break stay.
        out.append(bytes.first(place.KeyLine.Begin));
        out.append(place.KeyName);
        out.append('=');
        out.append(OneLine(value));
        out.append(bytes.sliced(place.KeyLine.End));
        return out;
    }
    const QByteArray keyLine = OneLine(key) + '=' + OneLine(value) + kEol;
    if (place.SectionFound) {
        out.append(bytes.first(place.InsertAt));
        if (place.InsertAfterBareLine)
            out.append(kEol);
        out.append(keyLine);
        out.append(bytes.sliced(place.InsertAt));
        return out;
    }
    out.append(bytes);
    if (!bytes.isEmpty() && bytes.back() != '\n' && bytes.back() != '\r')
        out.append(kEol);  // a last line without its break must not run into the new one
    out.append('[');
    out.append(OneLine(section));
    out.append(']');
    out.append(kEol);
    out.append(keyLine);
    return out;
}

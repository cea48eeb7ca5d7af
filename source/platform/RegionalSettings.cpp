#include "platform/RegionalSettings.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <mutex>

namespace {

std::mutex gMutex;
RegionalSettings* gCurrent = nullptr;

QString EffectiveLocaleName(const char* category)
{
    for (const char* var : {"LC_ALL", category, "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v)
            return QString::fromLocal8Bit(v);
    }
    return QStringLiteral("C");
}

bool IsPlainCLocale(const QString& name)
{
    return name == QLatin1String("C") || name == QLatin1String("POSIX") ||
           name.startsWith(QLatin1String("C."));
}

}  // namespace

QString StrftimeToQtPattern(const QString& pattern)
{
    QString out;
    QString literal;
    // Letters are pattern characters in Qt, so literal letters are quoted.
    auto flushLiteral = [&] {
        for (QChar c : literal) {
            if (c == QLatin1Char('\''))
                out += QLatin1String("''");
            else if (c.isLetter())
                out += QLatin1Char('\'') + c + QLatin1Char('\'');
            else
                out += c;
        }
        literal.clear();
    };
    auto field = [&](const char* qt) {
        flushLiteral();
        out += QLatin1String(qt);
    };
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        QChar c = pattern[i];
        if (c != QLatin1Char('%') || i + 1 >= pattern.size()) {
            literal += c;
            continue;
        }
        QChar f = pattern[++i];
        // Skip the glibc modifiers (%Ey, %Od, %-d, ...).
        while ((f == QLatin1Char('E') || f == QLatin1Char('O') || f == QLatin1Char('-') ||
                f == QLatin1Char('_') || f == QLatin1Char('0') || f == QLatin1Char('^') ||
                f == QLatin1Char('#')) && i + 1 < pattern.size())
            f = pattern[++i];
        switch (f.toLatin1()) {
        case 'd': field("dd"); break;
        case 'e': field("d"); break;
        case 'm': field("MM"); break;
        case 'y': field("yy"); break;
        case 'Y': field("yyyy"); break;
        case 'b': case 'h': field("MMM"); break;
        case 'B': field("MMMM"); break;
        case 'a': field("ddd"); break;
        case 'A': field("dddd"); break;
        case 'H': field("HH"); break;
        case 'k': field("H"); break;
        case 'I': field("hh"); break;
        case 'l': field("h"); break;
        case 'M': field("mm"); break;
        case 'S': field("ss"); break;
        case 'p': case 'P': field("AP"); break;
        case 'T': field("HH:mm:ss"); break;
        case 'R': field("HH:mm"); break;
        case 'r': field("hh:mm:ss AP"); break;
        case 'D': field("MM/dd/yy"); break;
        case 'F': field("yyyy-MM-dd"); break;
        case 'n': literal += QLatin1Char('\n'); break;
        case 't': literal += QLatin1Char('\t'); break;
        case '%': literal += QLatin1Char('%'); break;
        default: break;  // time zones and the like have no place in these forms
        }
    }
    flushLiteral();
    return out.trimmed();
}

RegionalSettings RegionalSettings::FromLocale()
{
    RegionalSettings rs;
    const QString numeric = EffectiveLocaleName("LC_NUMERIC");
    const QString time = EffectiveLocaleName("LC_TIME");
    if (!IsPlainCLocale(numeric)) {
        if (locale_t loc = newlocale(LC_NUMERIC_MASK, numeric.toLocal8Bit().constData(), nullptr)) {
            const char* radix = nl_langinfo_l(RADIXCHAR, loc);
            if (radix && *radix)
                rs.DecimalSeparator = QString::fromUtf8(radix).at(0);
            freelocale(loc);
        }
    }
    if (!IsPlainCLocale(time)) {
        if (locale_t loc = newlocale(LC_TIME_MASK, time.toLocal8Bit().constData(), nullptr)) {
            const QString date = StrftimeToQtPattern(QString::fromUtf8(nl_langinfo_l(D_FMT, loc)));
            const QString tm = StrftimeToQtPattern(QString::fromUtf8(nl_langinfo_l(T_FMT, loc)));
            if (!date.isEmpty())
                rs.ShortDateFormat = date;
            if (!tm.isEmpty())
                rs.LongTimeFormat = tm;
            freelocale(loc);
        }
    }
    return rs;
}

RegionalSettings RegionalSettings::Current()
{
    std::lock_guard lock(gMutex);
    if (!gCurrent)
        gCurrent = new RegionalSettings(FromLocale());
    return *gCurrent;
}

void RegionalSettings::SetCurrent(const RegionalSettings& settings)
{
    std::lock_guard lock(gMutex);
    if (!gCurrent)
        gCurrent = new RegionalSettings(settings);
    else
        *gCurrent = settings;
}

QString FloatToStr(double value, const RegionalSettings& settings)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    QString text = QString::fromLatin1(buf);
    // "1.5E+20" -> "1.5E20", "1E-07" -> "1E-7"
    const qsizetype e = text.indexOf(QLatin1Char('E'));
    if (e >= 0) {
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        bool negative = exponent.startsWith(QLatin1Char('-'));
        if (exponent.startsWith(QLatin1Char('+')) || negative)
            exponent.remove(0, 1);
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        text = mantissa + QLatin1Char('E') + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    text.replace(QLatin1Char('.'), settings.DecimalSeparator);
    return text;
}

bool TryStrToFloat(QStringView text, double& value, const RegionalSettings& settings)
{
    QString s = text.trimmed().toString();
    if (s.isEmpty())
        return false;
    QByteArray plain;
    qsizetype i = 0;
    auto digits = [&] {
        qsizetype start = i;
        while (i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9'))
            plain.append(char(s[i++].unicode()));
        return i - start;
    };
    if (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))
        plain.append(char(s[i++].unicode()));
    qsizetype n = digits();
    if (i < s.size() && s[i] == settings.DecimalSeparator) {
        ++i;
        plain.append('.');
        n += digits();
    }
    if (n == 0)
        return false;
    if (i < s.size() && (s[i] == QLatin1Char('E') || s[i] == QLatin1Char('e'))) {
        ++i;
        plain.append('e');
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            plain.append(char(s[i++].unicode()));
        if (digits() == 0)
            return false;
    }
    if (i != s.size())
        return false;
    // strtod follows the C locale's point, which the plain text now uses.
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    char* end = nullptr;
    double v = strtod_l(plain.constData(), &end, c);
    if (!std::isfinite(v))
        return false;
    value = v;
    return true;
}

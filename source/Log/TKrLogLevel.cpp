#include "Log/TKrLogLevel.h"

namespace {

char16_t AsciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c;
}

bool SameAsciiText(QStringView text, QLatin1StringView name)
{
    if (text.size() != name.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (AsciiUpper(text[i].unicode()) != AsciiUpper(char16_t(uchar(name[i].toLatin1()))))
            return false;
    return true;
}

}  // namespace

const TKrLogLevel* TKrLogLevel::Parse(QStringView AName)
{
    static const TKrLogLevel* const levels[] = {&ALL,    &CONFIG, &FINE,    &FINER, &FINEST,
                                                &INFO,   &SEVERE, &WARNING, &OFF};
    for (const TKrLogLevel* level : levels)
        if (SameAsciiText(AName, level->fName))
            return level;
    return nullptr;
}

#include <gtest/gtest.h>

#include "Log/TKrLogLevel.h"

TEST(TKrLogLevel, ParseIgnoresAsciiCaseOnly)
{
    const struct { const char16_t* name; const TKrLogLevel* level; } cases[] = {
        {u"info", &TKrLogLevel::INFO},   {u"INFO", &TKrLogLevel::INFO},
        {u"Info", &TKrLogLevel::INFO},   {u"all", &TKrLogLevel::ALL},
        {u"finest", &TKrLogLevel::FINEST}, {u"Warning", &TKrLogLevel::WARNING},
        {u"off", &TKrLogLevel::OFF},     {u" INFO", nullptr},
        {u"INFO ", nullptr},             {u"", nullptr},
        {u"DEBUG", nullptr},             {u"INF", nullptr},
        {u"\u0130NFO", nullptr},  // no case folding beyond a to z
    };
    for (const auto& c : cases)
        EXPECT_EQ(TKrLogLevel::Parse(QStringView(c.name)), c.level) << QString::fromUtf16(c.name).toStdString();
}

TEST(TKrLogLevel, TheNineLevelsRankByValue)
{
    const struct { const TKrLogLevel* level; const char* name; quint16 value; } cases[] = {
        {&TKrLogLevel::ALL, "ALL", 0},       {&TKrLogLevel::CONFIG, "CONFIG", 1},
        {&TKrLogLevel::FINE, "FINE", 2},     {&TKrLogLevel::FINER, "FINER", 3},
        {&TKrLogLevel::FINEST, "FINEST", 4}, {&TKrLogLevel::INFO, "INFO", 5},
        {&TKrLogLevel::SEVERE, "SEVERE", 6}, {&TKrLogLevel::WARNING, "WARNING", 7},
        {&TKrLogLevel::OFF, "OFF", 100},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.level->Name(), QLatin1String(c.name));
        EXPECT_EQ(c.level->Value(), c.value) << c.name;
        EXPECT_EQ(TKrLogLevel::Parse(c.level->Name()), c.level) << c.name;
    }
}

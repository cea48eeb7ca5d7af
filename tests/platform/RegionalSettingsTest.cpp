#include <gtest/gtest.h>

#include "platform/RegionalSettings.h"

namespace {
RegionalSettings WithSeparator(char sep)
{
    RegionalSettings rs;
    rs.DecimalSeparator = QLatin1Char(sep);
    return rs;
}
}  // namespace

TEST(RegionalSettings, FloatToStrGeneralForm)
{
    const struct { double value; char sep; const char* text; } cases[] = {
        {0, '.', "0"},           {1, '.', "1"},         {2.5, '.', "2.5"},
        {2.5, ',', "2,5"},       {-3, '.', "-3"},       {0.1, '.', "0.1"},
        {123456789012345.0, '.', "123456789012345"},    {1e20, '.', "1E20"},
        {1.5e-7, ',', "1,5E-7"}, {-0.0, '.', "0"},      {1.0 / 3, '.', "0.333333333333333"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToStr(c.value, WithSeparator(c.sep)), QLatin1String(c.text)) << c.text;
}

TEST(RegionalSettings, TryStrToFloatFollowsTheSeparator)
{
    const struct { const char* text; char sep; bool ok; double value; } cases[] = {
        {"2.5", '.', true, 2.5},  {"2,5", ',', true, 2.5}, {"2,5", '.', false, 0},
        {"2.5", ',', false, 0},   {" 7 ", '.', true, 7},   {"-1E3", '.', true, -1000},
        {"", '.', false, 0},      {"abc", '.', false, 0},  {"1,000", '.', false, 0},
        {".5", '.', true, 0.5},   {"5.", '.', true, 5},    {"1e", '.', false, 0},
        {"1e999", '.', false, 0}, {"+4", '.', true, 4},    {".", '.', false, 0},
    };
    for (const auto& c : cases) {
        double v = -99;
        EXPECT_EQ(TryStrToFloat(QString::fromLatin1(c.text), v, WithSeparator(c.sep)), c.ok) << c.text;
        EXPECT_EQ(v, c.ok ? c.value : -99) << c.text;
    }
}

TEST(RegionalSettings, PatternsFromTheLocaleData)
{
    EXPECT_EQ(StrftimeToQtPattern("%d/%m/%Y"), "dd/MM/yyyy");
    EXPECT_EQ(StrftimeToQtPattern("%d.%m.%Y"), "dd.MM.yyyy");
    EXPECT_EQ(StrftimeToQtPattern("%Hh%M"), "HH'h'mm");
    EXPECT_EQ(StrftimeToQtPattern("%r"), "hh:mm:ss AP");
    EXPECT_EQ(StrftimeToQtPattern("%T"), "HH:mm:ss");
    EXPECT_EQ(StrftimeToQtPattern("%H:%M:%S %Z"), "HH:mm:ss");
}

TEST(RegionalSettings, CLocaleGivesTheDefaults)
{
    qputenv("LC_ALL", "C");
    RegionalSettings rs = RegionalSettings::FromLocale();
    qunsetenv("LC_ALL");
    EXPECT_EQ(rs.DecimalSeparator, QLatin1Char('.'));
    EXPECT_EQ(rs.ShortDateFormat, "dd/MM/yyyy");
    EXPECT_EQ(rs.LongTimeFormat, "HH:mm:ss");
}

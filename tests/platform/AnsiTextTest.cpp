#include <gtest/gtest.h>

#include "platform/AnsiText.h"

TEST(AnsiText, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    EXPECT_EQ(StringToAnsi(AnsiToString(all)), all);
}

TEST(AnsiText, MapsTheCodePage)
{
    EXPECT_EQ(AnsiToString("\xD3"), QString::fromUtf8("Ó"));
    EXPECT_EQ(AnsiToString("\x80"), QString::fromUtf8("€"));
    EXPECT_EQ(StringToAnsi(QString::fromUtf8("Atención €")), QByteArray("Atenci\xF3n \x80"));
    // Outside the page: one '?' per character, also beyond the basic plane.
    EXPECT_EQ(StringToAnsi(QString::fromUtf8("a\u4e2db\U0001F600c")), QByteArray("a?b?c"));
}

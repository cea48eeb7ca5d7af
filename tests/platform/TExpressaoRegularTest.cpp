#include <gtest/gtest.h>

#include "platform/TExpressaoRegular.h"

TEST(TExpressaoRegular, ExecSearchesAnywhere)
{
    const struct { const char16_t* expr; const char16_t* text; bool found; } cases[] = {
        {u"\\d\\d\\d\\d\\d+", u"000123", true},
        {u"\\d\\d\\d\\d\\d+", u"1234", false},
        {u"\\d\\d\\d\\d\\d+", u"ab12345cd", true},
        {u"\\d\\d\\d\\d\\d+", u"", false},
        {u"\\d+", u"\u0661\u0662\u0663", false},  // other scripts' digits are not \d
        {u"\\d+", u"\uff11", false},
        {u"\\D", u"\u0661", true},
        {u"^12", u"012", false},
        {u"12$", u"0123", false},
        {u"a.c", u"xxabcxx", true},
    };
    for (const auto& c : cases) {
        TExpressaoRegular re;
        re.SetExpression(QString::fromUtf16(c.expr));
        EXPECT_EQ(re.Exec(QString::fromUtf16(c.text)), c.found)
            << QString::fromUtf16(c.expr).toStdString() << " in " << QString::fromUtf16(c.text).toStdString();
    }
}

TEST(TExpressaoRegular, SplitKeepsTheEmptyEnds)
{
    const struct { const char* text; QStringList pieces; } cases[] = {
        {"  000123 kg  000124 kg", {"", "000123", "000124", ""}},
        {"123", {"123"}},
        {"abc", {"", ""}},
        {"", {""}},
        {"12.345", {"12", "345"}},
        {"1\r2\r", {"1", "2", ""}},
    };
    for (const auto& c : cases) {
        TExpressaoRegular re;
        re.SetExpression(QStringLiteral("\\D+"));
        QStringList pieces{QStringLiteral("kept")};
        re.Split(QString::fromLatin1(c.text), pieces);
        EXPECT_EQ(pieces, QStringList{QStringLiteral("kept")} + c.pieces) << c.text;
    }
}

TEST(TExpressaoRegular, GreedySwitch)
{
    TExpressaoRegular re;
    re.SetExpression(QStringLiteral("\\D+"));
    QStringList greedy, lazy;
    re.Split(QStringLiteral("a1bb2"), greedy);
    re.SetModifierG(false);
    re.Split(QStringLiteral("a1bb2"), lazy);
    EXPECT_EQ(greedy, QStringList({"", "1", "2"}));
    EXPECT_EQ(lazy, QStringList({"", "1", "", "2"}));
}

TEST(TExpressaoRegular, UnusableExpressionsFailNamingThem)
{
    for (const char* expr : {"", "(", "\\d{2,1}", "[0-"}) {
        TExpressaoRegular re;
        re.SetExpression(QString::fromLatin1(expr));
        try {
            re.Exec(QStringLiteral("123"));
            ADD_FAILURE() << "no failure for " << expr;
        } catch (const EExpressaoRegular& e) {
            EXPECT_TRUE(e.Message().contains(QLatin1Char('"') + QString::fromLatin1(expr) + QLatin1Char('"')))
                << e.Message().toStdString();
        }
        QStringList pieces;
        EXPECT_THROW(re.Split(QStringLiteral("1a2"), pieces), EExpressaoRegular) << expr;
        EXPECT_TRUE(pieces.isEmpty());
    }
    TExpressaoRegular re;  // usable again once mended
    re.SetExpression(QStringLiteral("("));
    EXPECT_THROW(re.Exec(QStringLiteral("x")), EExpressaoRegular);
    re.SetExpression(QStringLiteral("(x)"));
    EXPECT_TRUE(re.Exec(QStringLiteral("x")));
}

#include <QDate>
#include <QDateTime>
#include <gtest/gtest.h>

#include "Log/TKrLogRecord.h"
#include "platform/RegionalSettings.h"

namespace {
QVariantList List(std::initializer_list<QVariant> values)
{
    return QVariantList(values);
}
}  // namespace

TEST(TKrLogRecord, GetParametersPlainAndArrayText)
{
    RegionalSettings comma;
    comma.DecimalSeparator = QLatin1Char(',');
    RegionalSettings::SetCurrent(comma);
    const struct { QVariant value; const char* text; } cases[] = {
        {QVariant(), ""},
        {KrNullValue(), ""},
        {QVariant(QStringLiteral("12,5")), "12,5"},
        {QVariant(QStringLiteral("1,5")), "1,5"},
        {QVariant(qint64(-42)), "-42"},
        {QVariant(quint64(18446744073709551615ULL)), "18446744073709551615"},
        {QVariant(2.5), "2,5"},
        {QVariant(true), "True"},
        {QVariant(QDate(2024, 1, 15)), "15/01/2024"},
        {QVariant(QVariantList()), "{}"},
        {QVariant(List({QString()})), "{''}"},
        {QVariant(List({1, 2})), "{1, 2}"},
        {QVariant(List({QStringLiteral("a"), 1})), "{'a', 1}"},
        {QVariant(List({QStringLiteral("abc"), 12, List({QStringLiteral("x"), 3})})),
         "{'abc', 12, {'x', 3}}"},
        {QVariant(List({QVariant(), KrNullValue(), QStringLiteral("it's"), 1.5, false})),
         "{'', '', 'it's', 1,5, False}"},
        {QVariant(List({QDateTime(QDate(2024, 1, 15), QTime(9, 30, 12))})), "{'15/01/2024 09:30:12'}"},
        {QVariant(List({QVariantList()})), "{{}}"},
    };
    for (const auto& c : cases) {
        TKrLogRecord rec(&TKrLogLevel::INFO, {}, {}, {});
        rec.SetParameters(c.value);
        EXPECT_EQ(rec.GetParameters(), QString::fromUtf8(c.text)) << c.text;
    }
    RegionalSettings::SetCurrent(RegionalSettings{});
}

TEST(TKrLogRecord, CreationNumbersRecordsAndLeavesTheRestEmpty)
{
    TKrLogRecord first(&TKrLogLevel::SEVERE, QStringLiteral("C"), QStringLiteral("M"), QStringLiteral("msg"));
    TKrLogRecord second(&TKrLogLevel::INFO, {}, {}, {});
    EXPECT_EQ(second.SequenceNumber(), first.SequenceNumber() + 1);
    EXPECT_EQ(first.Level(), &TKrLogLevel::SEVERE);
    EXPECT_EQ(first.SourceClassName(), QLatin1String("C"));
    EXPECT_EQ(first.SourceMethodName(), QLatin1String("M"));
    EXPECT_EQ(first.Message(), QLatin1String("msg"));
    EXPECT_FALSE(first.Parameters().isValid());
    EXPECT_TRUE(first.LoggerName().isEmpty());
    EXPECT_FALSE(first.Exception());
}

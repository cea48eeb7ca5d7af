#include "Log/TKrLogRecord.h"

#include <QDate>
#include <QTime>
#include <atomic>

#include "Log/KrDateText.h"
#include "Log/TKrLogClock.h"
#include "platform/AnsiText.h"
#include "platform/RegionalSettings.h"

namespace {

// One counter for the whole process; a reset of the manager does not touch it, and it wraps.
std::atomic<quint32> gSequenceCounter{0};

bool IsNumeric(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

bool IsArray(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList;
}

}  // namespace

TKrLogRecord::TKrLogRecord(const TKrLogLevel* ALevel, const QString& ASourceClassName,
                           const QString& ASourceMethodName, const QString& AMessage)
    : fLevel(ALevel),
      fsequenceNumber(gSequenceCounter.fetch_add(1, std::memory_order_relaxed) + 1),
      fsourceClassName(ASourceClassName),
      fsourceMethodName(ASourceMethodName),
      fmessage(AMessage),
      fdatetime(TKrLogClock::NowMSecs())
{
}

QString TKrLogRecord::GetParameters() const
{
    if (IsArray(fparameters))
        return ArrayText(fparameters.toList());
    return PlainText(fparameters);
}

QString TKrLogRecord::PlainText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return QString();
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return AnsiToString(value.toByteArray());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Float:
    case QMetaType::Double:
        return FloatToStr(value.toDouble());
    case QMetaType::QDateTime:
        return KrDateText(value.toDateTime());
    case QMetaType::QDate:
        return value.toDate().toString(RegionalSettings::Current().ShortDateFormat);
    case QMetaType::QTime:
        return value.toTime().toString(RegionalSettings::Current().LongTimeFormat);
    case QMetaType::QVariantList:
        return ArrayText(value.toList());
    default:
        return value.toString();
    }
}

QString TKrLogRecord::ArrayText(const QVariantList& values)
{
    QString text;
    for (const QVariant& element : values) {
        if (IsArray(element))
            text += ArrayText(element.toList());
        else if (IsNumeric(element))
            text += PlainText(element);
        else
            text += QLatin1Char('\'') + PlainText(element) + QLatin1Char('\'');
        text += QLatin1String(", ");
    }
    if (!text.isEmpty())
        text.chop(2);
    return QLatin1Char('{') + text + QLatin1Char('}');
}

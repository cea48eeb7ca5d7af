#include "Log/KrDateText.h"

QString KrDateText(const QDateTime& moment, const RegionalSettings& settings)
{
    const QString date = moment.date().toString(settings.ShortDateFormat);
    if (moment.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + moment.time().toString(settings.LongTimeFormat);
}

#include "Log/TKrCSVTextFormatter2.h"

#include "Log/KrDateText.h"
#include "Log/TKrLogRecord.h"

QString TKrCSVTextFormatter2::Format(const TKrLogRecord& rec) const
{
    return KrDateText(rec.Datetime()) + QLatin1Char(';') + rec.GetParameters() + QLatin1Char(';');
}

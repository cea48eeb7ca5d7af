#include "Log/TKrCSVTextFormatter.h"

#include "Log/KrDateText.h"
#include "Log/TKrLogRecord.h"

QString TKrCSVTextFormatter::Format(const TKrLogRecord& rec) const
{
    const QLatin1Char sep(';');
    const QString level = rec.Level() ? rec.Level()->Name() : QString();
    return KrDateText(rec.Datetime()) + sep + rec.LoggerName() + sep + level + sep +
           rec.SourceClassName() + sep + rec.SourceMethodName() + sep + rec.Message() + sep +
           rec.GetParameters() + sep;
}

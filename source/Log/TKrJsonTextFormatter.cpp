#include "Log/TKrJsonTextFormatter.h"

#include "Log/KrDateText.h"
#include "Log/TKrLogRecord.h"

QString TKrJsonTextFormatter::Format(const TKrLogRecord& rec) const
{
    const QString level = rec.Level() ? rec.Level()->Name() : QString();
    return QLatin1String("{\"Date\":\"") + KrDateText(rec.Datetime()) +
           QLatin1String("\",\"Logger\":\"") + rec.LoggerName() +
           QLatin1String("\",\"Level\":\"") + level +
           QLatin1String("\",\"Class\":\"") + rec.SourceClassName() +
           QLatin1String("\",\"Method\":\"") + rec.SourceMethodName() +
           QLatin1String("\",\"Msg\":\"") + rec.Message() +
           QLatin1String("\",Params:\"") + rec.GetParameters() + QLatin1String("\"}");
}

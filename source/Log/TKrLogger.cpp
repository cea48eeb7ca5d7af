#include "Log/TKrLogger.h"

#include "Log/TKrHandler.h"
#include "Log/TKrLogManager.h"
#include "Log/TKrLogRecord.h"

namespace {
const QString kEntry = QStringLiteral("ENTRY");
const QString kReturn = QStringLiteral("RETURN");
}  // namespace

TKrLogger::TKrLogger(const QString& ALoggerName) : floggerName(ALoggerName) {}

TKrLogger::~TKrLogger() = default;

TKrLogger* TKrLogger::getLogger(const QString& name)
{
    return TKrLogManager::getLogManager()->demandLogger(name);
}

void TKrLogger::log(const TKrLogRecord& rec)
{
    if (!rec.Level() || !isLoggable(*rec.Level()))
        return;
    // Only this logger's level counts; the parents' handlers get every accepted record.
    for (TKrLogger* logger = this; logger; logger = logger->fparentLogger)
        for (TKrHandler* handler : logger->fhandlers)
            handler->publish(rec);
}

void TKrLogger::doLog(TKrLogRecord& rec)
{
    rec.SetLoggerName(floggerName);
    log(rec);
}

void TKrLogger::logRecord(const TKrLogLevel& Alevel, const QString& Asource,
                          const QString& Amethod, const QString& Amsg, const QVariant* AParams)
{
    if (!isLoggable(Alevel))
        return;
    TKrLogRecord rec(&Alevel, Asource, Amethod, Amsg);
    if (AParams)
        rec.SetParameters(*AParams);
    doLog(rec);
}

void TKrLogger::log(const TKrLogLevel& Alevel, const QString& Amsg)
{
    logRecord(Alevel, QString(), QString(), Amsg, nullptr);
}

void TKrLogger::log(const TKrLogLevel& Alevel, const QString& Asource, const QString& Amethod,
                    const QString& Amsg)
{
    logRecord(Alevel, Asource, Amethod, Amsg, nullptr);
}

void TKrLogger::log(const TKrLogLevel& Alevel, const QString& Asource, const QString& Amethod,
                    const QString& Amsg, const QVariant& AParams)
{
    logRecord(Alevel, Asource, Amethod, Amsg, &AParams);
}

void TKrLogger::log(const TKrLogLevel& Alevel, const QString& Asource, const QString& Amethod,
                    const QString& Amsg, const QVariantList& AParams)
{
    if (!isLoggable(Alevel))
        return;
    const QVariant array(AParams);
    logRecord(Alevel, Asource, Amethod, Amsg, &array);
}

void TKrLogger::entering(const QString& Asource, const QString& Amethod)
{
    logRecord(TKrLogLevel::FINE, Asource, Amethod, kEntry, nullptr);
}

void TKrLogger::entering(const QString& Asource, const QString& Amethod, const QVariant& AParams)
{
    logRecord(TKrLogLevel::FINE, Asource, Amethod, kEntry, &AParams);
}

void TKrLogger::entering(const QString& Asource, const QString& Amethod,
                         const QVariantList& AParams)
{
    log(TKrLogLevel::FINE, Asource, Amethod, kEntry, AParams);
}

void TKrLogger::exiting(const QString& Asource, const QString& Amethod)
{
    logRecord(TKrLogLevel::FINE, Asource, Amethod, kReturn, nullptr);
}

void TKrLogger::exiting(const QString& Asource, const QString& Amethod, const QVariant& AParams)
{
    logRecord(TKrLogLevel::FINE, Asource, Amethod, kReturn, &AParams);
}

void TKrLogger::exiting(const QString& Asource, const QString& Amethod,
                        const QVariantList& AParams)
{
    log(TKrLogLevel::FINE, Asource, Amethod, kReturn, AParams);
}

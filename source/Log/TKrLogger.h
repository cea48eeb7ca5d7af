#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <vector>

#include "Log/TKrLogLevel.h"

class TKrHandler;
class TKrLogRecord;

// A named entry point for events. Drops events below its level; hands each accepted one, as a
// record, to its own handlers and then to its parent's. Made and owned by the log manager.
class TKrLogger {
public:
    explicit TKrLogger(const QString& ALoggerName);
    ~TKrLogger();
    TKrLogger(const TKrLogger&) = delete;
    TKrLogger& operator=(const TKrLogger&) = delete;

    // The logger of that name (any case), made and configured on its first request.
    static TKrLogger* getLogger(const QString& name);

    const QString& LoggerName() const { return floggerName; }
    void SetLoggerName(const QString& value) { floggerName = value; }
    const TKrLogLevel* Level() const { return fLevel; }
    void SetLevel(const TKrLogLevel* value) { fLevel = value; }
    TKrLogger* Parent() const { return fparentLogger; }
    void SetParent(TKrLogger* value) { fparentLogger = value; }
    const std::vector<TKrHandler*>& Handlers() const { return fhandlers; }

    void addHandler(TKrHandler* AHandler) { fhandlers.push_back(AHandler); }

    bool isLoggable(const TKrLogLevel& Alevel) const
    {
        const quint16 own = fLevel ? fLevel->Value() : 0;
        return Alevel.Value() >= own && own != TKrLogLevel::OffValue;
    }

    // Dispatches a record to this logger's handlers and its parents'; the name stays as it is.
    void log(const TKrLogRecord& rec);
    // Stamps the record with this logger's name, then dispatches it.
    void doLog(TKrLogRecord& rec);

    void log(const TKrLogLevel& Alevel, const QString& Amsg);
    void log(const TKrLogLevel& Alevel, const QString& Asource, const QString& Amethod,
             const QString& Amsg);
    void log(const TKrLogLevel& Alevel, const QString& Asource, const QString& Amethod,
             const QString& Amsg, const QVariant& AParams);
    void log(const TKrLogLevel& Alevel, const QString& Asource, const QString& Amethod,
             const QString& Amsg, const QVariantList& AParams);

    // All six log at FINE, whatever their names say.
    void fine(const QString& Amsg) { log(TKrLogLevel::FINE, Amsg); }
    void finer(const QString& Amsg) { log(TKrLogLevel::FINE, Amsg); }
    void finest(const QString& Amsg) { log(TKrLogLevel::FINE, Amsg); }
    void info(const QString& Amsg) { log(TKrLogLevel::FINE, Amsg); }
    void severe(const QString& Amsg) { log(TKrLogLevel::FINE, Amsg); }
    void warning(const QString& Amsg) { log(TKrLogLevel::FINE, Amsg); }

    void entering(const QString& Asource, const QString& Amethod);
    void entering(const QString& Asource, const QString& Amethod, const QVariant& AParams);
    void entering(const QString& Asource, const QString& Amethod, const QVariantList& AParams);
    void exiting(const QString& Asource, const QString& Amethod);
    void exiting(const QString& Asource, const QString& Amethod, const QVariant& AParams);
    void exiting(const QString& Asource, const QString& Amethod, const QVariantList& AParams);

private:
    void logRecord(const TKrLogLevel& Alevel, const QString& Asource, const QString& Amethod,
                   const QString& Amsg, const QVariant* AParams);

    QString floggerName;
    const TKrLogLevel* fLevel = nullptr;
    TKrLogger* fparentLogger = nullptr;
    std::vector<TKrHandler*> fhandlers;
};

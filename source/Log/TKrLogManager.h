#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <utility>
#include <vector>

#include "Log/TKrLogLevel.h"

class TKrLogger;
class TKrHandler;
class TKrFormatter;

// The one log manager of the process: holds the logging configuration, makes loggers on
// demand with their levels and handlers, and owns every logger and handler until it is reset.
class TKrLogManager {
public:
    TKrLogManager();
    ~TKrLogManager();
    TKrLogManager(const TKrLogManager&) = delete;
    TKrLogManager& operator=(const TKrLogManager&) = delete;

    // The single instance, made on the first call and after every Reset.
    static TKrLogManager* getLogManager();
    // Destroys the instance, if any, with its loggers and handlers (file handlers close their
    // files). The program makes this call on every way out.
    static void Reset();

    // The logger of that name (any case), made and configured on its first request. May raise
    // EAssertionFailed or EInOutError then; the logger stays registered all the same.
    TKrLogger* demandLogger(const QString& AloggerName);
    // The level the key names, or Adefault when its value is empty; nullptr when it names none.
    const TKrLogLevel* getLevelProperty(QStringView Aname, const TKrLogLevel* Adefault) const;
    // A new formatter of the class the key names, or Adefault when its value is empty;
    // nullptr when the value names no formatter class.
    std::unique_ptr<TKrFormatter> getFormatterProperty(QStringView Aname,
                                                       std::unique_ptr<TKrFormatter> Adefault) const;
    // The value of the first line whose key (the text before its first "=") equals Aname,
    // ignoring case; empty when none does.
    QString getProperty(QStringView Aname) const;

    const QStringList& properties() const { return fproperties; }
    void setProperties(const QStringList& lines) { fproperties = lines; }

    const TKrLogLevel* defaultLevel() const { return &TKrLogLevel::ALL; }
    std::vector<TKrLogger*> Loggers() const;
    std::vector<TKrHandler*> loadedHandlers() const;

private:
    TKrLogger* getRootLogger();
    TKrLogger* addLogger(std::unique_ptr<TKrLogger> logger);
    void loadHandlers(TKrLogger* logger, const QString& key);

    static TKrLogManager* FInstance;

    QStringList fproperties;
    std::vector<std::pair<QString, std::unique_ptr<TKrLogger>>> fLoggers;
    TKrLogger* frootLogger = nullptr;
    std::vector<std::unique_ptr<TKrHandler>> floadedHandlers;
};

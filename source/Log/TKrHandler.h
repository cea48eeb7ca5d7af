#pragma once

#include <QString>
#include <memory>

#include "Log/TKrFormatter.h"
#include "Log/TKrLogLevel.h"
#include "Log/TPersistent.h"

class TKrLogRecord;

// Receives the records a logger accepted, filters them by its own level and writes them.
// Made for one logger, owned by the log manager.
class TKrHandler : public TPersistent {
public:
    explicit TKrHandler(const QString& AloggerName);
    ~TKrHandler() override;

    // Makes a handler of class T for a logger and runs its configure, as made by name.
    template <class T>
    static std::unique_ptr<TKrHandler> Create(const QString& AloggerName)
    {
        std::unique_ptr<TKrHandler> handler(new T(AloggerName));
        handler->configure();
        return handler;
    }

    const TKrLogLevel* Level() const { return fLevel; }
    void SetLevel(const TKrLogLevel* value) { fLevel = value; }
    TKrFormatter* Formatter() const { return fFormatter.get(); }
    void SetFormatter(std::unique_ptr<TKrFormatter> value) { fFormatter = std::move(value); }
    const QString& loggerName() const { return floggerName; }

    virtual void publish(const TKrLogRecord& rec) = 0;
    // The record passes the handler's level, and the level is not OFF.
    bool isLoggable(const TKrLogRecord& rec) const;

protected:
    // Level from "<class>.level", formatter from "<logger>.formatter", else "<class>.formatter".
    virtual void configure();

private:
    const TKrLogLevel* fLevel = &TKrLogLevel::ALL;
    std::unique_ptr<TKrFormatter> fFormatter;
    QString floggerName;
};

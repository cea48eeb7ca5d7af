#pragma once

#include <QByteArray>
#include <QString>

#include "Log/TKrHandler.h"

// A handler writing its records to its own file in the "log" folder beside the program, named
// logger name + "YYYYMMDD-HHNNSS" + extension, in Windows-1252. Every piece goes to the
// operating system at once, so the file always holds every record published so far.
class TKrTextFileHandler : public TKrHandler {
public:
    using TKrHandler::TKrHandler;
    ~TKrTextFileHandler() override;

    void publish(const TKrLogRecord& rec) override;
    const QString& FileName() const { return FFileName; }
    bool HasData() const { return FHasData; }

protected:
    void configure() override;

    virtual QString Extension() const = 0;
    virtual QString Header() const = 0;     // written when the file is made
    virtual QString Separator() const = 0;  // written before every record after the first
    virtual QString Footer() const = 0;     // written when the handler is destroyed

private:
    void Write(const QString& text);

    int F = -1;
    bool FHasData = false;
    QString FFileName;
    QString FFooter;
};

#pragma once

#include "Log/TKrTextFileHandler.h"

// Writes a ".CSV" file: the header line, then the records separated by CR LF.
class TKrCSVFileHandler : public TKrTextFileHandler {
public:
    using TKrTextFileHandler::TKrTextFileHandler;
    QString ClassName() const override { return QStringLiteral("TKrCSVFileHandler"); }

protected:
    QString Extension() const override { return QStringLiteral(".CSV"); }
    QString Header() const override
    {
        return QStringLiteral("Date;Logger;Level;Class;Method;Msg;Params\r\n");
    }
    QString Separator() const override { return QStringLiteral("\r\n"); }
    QString Footer() const override { return QString(); }
};

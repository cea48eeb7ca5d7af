#pragma once

#include "Log/TKrTextFileHandler.h"

// Writes a JSON-like array to a ".LOG" file: "[" CR LF, records separated by "," CR LF, and
// "]" when the handler is destroyed.
class TKrJsonFileHandler : public TKrTextFileHandler {
public:
    using TKrTextFileHandler::TKrTextFileHandler;
    QString ClassName() const override { return QStringLiteral("TKrJsonFileHandler"); }

protected:
    QString Extension() const override { return QStringLiteral(".LOG"); }
    QString Header() const override { return QStringLiteral("[\r\n"); }
    QString Separator() const override { return QStringLiteral(",\r\n"); }
    QString Footer() const override { return QStringLiteral("]"); }
};

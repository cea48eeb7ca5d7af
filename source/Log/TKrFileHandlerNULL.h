#pragma once

#include "Log/TKrHandler.h"

// Discards every record.
class TKrFileHandlerNULL : public TKrHandler {
public:
    using TKrHandler::TKrHandler;
    QString ClassName() const override { return QStringLiteral("TKrFileHandlerNULL"); }
    void publish(const TKrLogRecord&) override {}
};

#pragma once

#include "Log/TKrFormatter.h"

// One JSON-like line per record; values are inserted unescaped, and Params has no quotes.
class TKrJsonTextFormatter : public TKrFormatter {
public:
    QString ClassName() const override { return QStringLiteral("TKrJsonTextFormatter"); }
    QString Format(const TKrLogRecord& rec) const override;
};

#pragma once

#include "Log/TKrFormatter.h"

// Seven values, each followed by ";", neither quoted nor escaped.
class TKrCSVTextFormatter : public TKrFormatter {
public:
    QString ClassName() const override { return QStringLiteral("TKrCSVTextFormatter"); }
    QString Format(const TKrLogRecord& rec) const override;
};

#pragma once

#include "Log/TKrFormatter.h"

// The date and the parameters only: "date;params;".
class TKrCSVTextFormatter2 : public TKrFormatter {
public:
    QString ClassName() const override { return QStringLiteral("TKrCSVTextFormatter2"); }
    QString Format(const TKrLogRecord& rec) const override;
};

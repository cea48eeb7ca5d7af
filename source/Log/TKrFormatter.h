#pragma once

#include <QString>

#include "Log/TPersistent.h"

class TKrLogRecord;

// Turns one record into one line of text, without line break. Keeps no state between calls.
class TKrFormatter : public TPersistent {
public:
    virtual QString Format(const TKrLogRecord& rec) const = 0;
};

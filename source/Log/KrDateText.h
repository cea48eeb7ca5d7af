#pragma once

#include <QDateTime>
#include <QString>

#include "platform/RegionalSettings.h"

// The general date and time form of the regional settings: short date, a blank, long time;
// the date alone at exactly midnight.
QString KrDateText(const QDateTime& moment,
                   const RegionalSettings& settings = RegionalSettings::Current());

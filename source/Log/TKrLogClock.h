#pragma once

#include <QDateTime>
#include <QtGlobal>
#include <functional>

// The time source of log records and log file names: local time in milliseconds since the
// epoch. Settable so tests can fix the clock; the real clock is the default.
class TKrLogClock {
public:
    static qint64 NowMSecs();
    static QDateTime Now() { return QDateTime::fromMSecsSinceEpoch(NowMSecs()); }
    // An empty source restores the real clock.
    static void SetSource(std::function<qint64()> source);
    static void SetFixed(const QDateTime& moment);
};

#include "Log/TKrLogClock.h"

namespace {
std::function<qint64()>& Source()
{
    static std::function<qint64()> source;
    return source;
}
}  // namespace

qint64 TKrLogClock::NowMSecs()
{
    const auto& source = Source();
    return source ? source() : QDateTime::currentMSecsSinceEpoch();
}

void TKrLogClock::SetSource(std::function<qint64()> source)
{
    Source() = std::move(source);
}

void TKrLogClock::SetFixed(const QDateTime& moment)
{
    const qint64 ms = moment.toMSecsSinceEpoch();
    SetSource([ms] { return ms; });
}

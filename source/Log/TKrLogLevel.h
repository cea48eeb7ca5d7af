#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

// One of the nine process-wide levels. Filters compare values only, so the rank follows the
// names' alphabetical order (WARNING above SEVERE) and OFF is 100.
class TKrLogLevel {
public:
    constexpr TKrLogLevel(QLatin1StringView AName, quint16 AValue) : fName(AName), fValue(AValue) {}
    TKrLogLevel(const TKrLogLevel&) = delete;
    TKrLogLevel& operator=(const TKrLogLevel&) = delete;

    QString Name() const { return QString(fName); }
    quint16 Value() const { return fValue; }

    // One of the nine levels whose name equals AName, ignoring the case of a to z only;
    // nullptr when none does.
    static const TKrLogLevel* Parse(QStringView AName);

    static const TKrLogLevel ALL;
    static const TKrLogLevel CONFIG;
    static const TKrLogLevel FINE;
    static const TKrLogLevel FINER;
    static const TKrLogLevel FINEST;
    static const TKrLogLevel INFO;
    static const TKrLogLevel SEVERE;
    static const TKrLogLevel WARNING;
    static const TKrLogLevel OFF;

    static constexpr quint16 OffValue = 100;

private:
    QLatin1StringView fName;
    quint16 fValue;
};

// Constant-initialised, so they exist before any other code of the process runs.
inline constexpr TKrLogLevel TKrLogLevel::ALL{QLatin1StringView("ALL"), 0};
inline constexpr TKrLogLevel TKrLogLevel::CONFIG{QLatin1StringView("CONFIG"), 1};
inline constexpr TKrLogLevel TKrLogLevel::FINE{QLatin1StringView("FINE"), 2};
inline constexpr TKrLogLevel TKrLogLevel::FINER{QLatin1StringView("FINER"), 3};
inline constexpr TKrLogLevel TKrLogLevel::FINEST{QLatin1StringView("FINEST"), 4};
inline constexpr TKrLogLevel TKrLogLevel::INFO{QLatin1StringView("INFO"), 5};
inline constexpr TKrLogLevel TKrLogLevel::SEVERE{QLatin1StringView("SEVERE"), 6};
inline constexpr TKrLogLevel TKrLogLevel::WARNING{QLatin1StringView("WARNING"), 7};
inline constexpr TKrLogLevel TKrLogLevel::OFF{QLatin1StringView("OFF"), 100};

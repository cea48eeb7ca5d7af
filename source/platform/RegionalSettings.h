#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// The user's regional settings the system depends on: the decimal separator of stored numbers
// and the date and time forms of log records. Taken from the process's locale at start-up;
// tests inject their own.
struct RegionalSettings {
    QChar DecimalSeparator = QLatin1Char('.');
    QString ShortDateFormat = QStringLiteral("dd/MM/yyyy");  // QDate pattern
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");     // QTime pattern

    // From the environment's locale (LC_ALL, LC_NUMERIC, LC_TIME, LANG); the C and POSIX
    // locales give the defaults above.
    static RegionalSettings FromLocale();

    static RegionalSettings Current();
    static void SetCurrent(const RegionalSettings& settings);
};

// General number form: up to 15 significant digits, the regional decimal separator,
// whole numbers without decimals ("1", "0", "2,5", "1E20").
QString FloatToStr(double value, const RegionalSettings& settings = RegionalSettings::Current());
// Reads the same form (blanks around it allowed); false when the text is not a number.
bool TryStrToFloat(QStringView text, double& value,
                   const RegionalSettings& settings = RegionalSettings::Current());

// Converts a strftime pattern (as the C library's locale data gives) into a Qt pattern.
QString StrftimeToQtPattern(const QString& pattern);

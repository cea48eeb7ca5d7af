#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <exception>

#include "Log/TKrLogLevel.h"

// The variant value of a record's parameters is a QVariant: invalid is "empty",
// KrNullValue() is "null", a QVariantList is an array.
inline QVariant KrNullValue() { return QVariant::fromValue(nullptr); }

// One accepted event on its way from a logger to the handlers.
class TKrLogRecord {
public:
    TKrLogRecord(const TKrLogLevel* ALevel, const QString& ASourceClassName,
                 const QString& ASourceMethodName, const QString& AMessage);

    const TKrLogLevel* Level() const { return fLevel; }
    void SetLevel(const TKrLogLevel* value) { fLevel = value; }
    quint32 SequenceNumber() const { return fsequenceNumber; }
    void SetSequenceNumber(quint32 value) { fsequenceNumber = value; }
    const QString& SourceClassName() const { return fsourceClassName; }
    void SetSourceClassName(const QString& value) { fsourceClassName = value; }
    const QString& SourceMethodName() const { return fsourceMethodName; }
    void SetSourceMethodName(const QString& value) { fsourceMethodName = value; }
    const QString& Message() const { return fmessage; }
    void SetMessage(const QString& value) { fmessage = value; }
    // Local time; kept as milliseconds since the epoch, converted when read (cheap to create).
    QDateTime Datetime() const { return QDateTime::fromMSecsSinceEpoch(fdatetime); }
    void SetDatetime(const QDateTime& value) { fdatetime = value.toMSecsSinceEpoch(); }
    const QString& LoggerName() const { return floggerName; }
    void SetLoggerName(const QString& value) { floggerName = value; }
    const QVariant& Parameters() const { return fparameters; }
    void SetParameters(const QVariant& value) { fparameters = value; }
    std::exception_ptr Exception() const { return fexception; }
    void SetException(std::exception_ptr value) { fexception = value; }

    // The text of Parameters as the formatters write it.
    QString GetParameters() const;
    // The array text of a one-dimensional array: {'abc', 12, {'x', 3}}.
    static QString ArrayText(const QVariantList& values);
    // The plain text of one value, without quotes or braces.
    static QString PlainText(const QVariant& value);

private:
    const TKrLogLevel* fLevel;
    quint32 fsequenceNumber;
    QString fsourceClassName;
    QString fsourceMethodName;
    QString fmessage;
    qint64 fdatetime;
    QString floggerName;
    QVariant fparameters;
    std::exception_ptr fexception;
};

#pragma once

#include <QString>
#include <QByteArray>
#include <exception>

// Base of every failure the system raises: an error carries a user-readable message.
class Exception : public std::exception {
public:
    explicit Exception(QString message);
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FWhat.constData(); }

private:
    QString FMessage;
    QByteArray FWhat;  // UTF-8 copy for what()
};

// The message of any caught exception, as the general error handler shows it.
QString ExceptionMessage(std::exception_ptr error);

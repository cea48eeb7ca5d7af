#include "app/TStatusLog.h"

#include "platform/UserInterface.h"

void TStatusLog::Add(const QString& entry)
{
    // Only CR LF breaks a line, as in the memo; a lone CR or LF stays inside its line.
    const QStringList parts = entry.split(QStringLiteral("\r\n"));
    for (const QString& part : parts)
        FLines.push_back(part);
    while (FLines.size() > FMaxLines)
        FLines.pop_front();
    UserInterface().StatusAdded(entry);
}

void TStatusLog::Clear()
{
    FLines.clear();
    UserInterface().StatusCleared();
}

QStringList TStatusLog::Lines() const
{
    return QStringList(FLines.begin(), FLines.end());
}

QString TStatusLog::Text() const
{
    return Lines().join(QStringLiteral("\r\n"));
}

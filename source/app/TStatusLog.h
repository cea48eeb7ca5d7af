#pragma once

#include <QString>
#include <QStringList>
#include <deque>

// The console's status log (`Status`): append-only lines, added on the main thread only.
// An entry that holds CR LF is two lines. Only the most recent lines are kept, so a server
// that runs for months never grows without bound.
class TStatusLog {
public:
    static constexpr std::size_t kMaxLines = 100000;

    explicit TStatusLog(std::size_t maxLines = kMaxLines) : FMaxLines(maxLines) {}

    // Adds the entry and tells the user interface.
    void Add(const QString& entry);
    void Clear();

    std::size_t Count() const { return FLines.size(); }
    const QString& Line(std::size_t index) const { return FLines.at(index); }
    QStringList Lines() const;
    // The whole log as the memo shows it: lines joined by CR LF.
    QString Text() const;

private:
    std::size_t FMaxLines;
    std::deque<QString> FLines;
};

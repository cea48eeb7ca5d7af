#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "platform/Exception.h"

// An expression that cannot be used: empty, or not compilable. The message names it.
class EExpressaoRegular : public Exception {
public:
    using Exception::Exception;
};

// A Perl-style regular expression with unanchored search and splitting. \d is the digits
// 0 to 9 only. The expression is compiled once per change of its text.
class TExpressaoRegular {
public:
    TExpressaoRegular() = default;

    const QString& Expression() const { return FExpression; }
    void SetExpression(const QString& value);
    // Greedy repetition; on by default.
    bool ModifierG() const { return FModifierG; }
    void SetModifierG(bool value);

    // True when the expression matches anywhere in the text. Raises EExpressaoRegular.
    bool Exec(const QString& AInputString);
    // Appends the pieces of the text between successive matches, then the rest after the last
    // one. Raises EExpressaoRegular.
    void Split(const QString& AInputString, QStringList& APieces);

private:
    const QRegularExpression& Compiled();

    QString FExpression;
    bool FModifierG = true;
    bool FCompiled = false;
    QRegularExpression FRegex;
};

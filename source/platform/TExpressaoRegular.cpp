#include "platform/TExpressaoRegular.h"

void TExpressaoRegular::SetExpression(const QString& value)
{
    if (value == FExpression)
        return;
    FExpression = value;
    FCompiled = false;
}

void TExpressaoRegular::SetModifierG(bool value)
{
    if (value == FModifierG)
        return;
    FModifierG = value;
    FCompiled = false;
}

const QRegularExpression& TExpressaoRegular::Compiled()
{
    if (FExpression.isEmpty())
        throw EExpressaoRegular(QStringLiteral("Expresión regular vacía: \"%1\"").arg(FExpression));
    if (!FCompiled) {
        FRegex.setPattern(FExpression);
        FRegex.setPatternOptions(FModifierG ? QRegularExpression::NoPatternOption
                                            : QRegularExpression::InvertedGreedinessOption);
        FCompiled = true;
    }
    if (!FRegex.isValid())
        throw EExpressaoRegular(QStringLiteral("Expresión regular no válida \"%1\": %2 (posición %3)")
                           .arg(FExpression, FRegex.errorString())
                           .arg(FRegex.patternErrorOffset()));
    return FRegex;
}

bool TExpressaoRegular::Exec(const QString& AInputString)
{
    return Compiled().match(AInputString).hasMatch();
}

void TExpressaoRegular::Split(const QString& AInputString, QStringList& APieces)
{
    const QRegularExpression& regex = Compiled();
    qsizetype previous = 0;
    auto it = regex.globalMatch(AInputString);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        APieces.append(AInputString.mid(previous, match.capturedStart() - previous));
        previous = match.capturedEnd();
    }
    APieces.append(AInputString.mid(previous));
}

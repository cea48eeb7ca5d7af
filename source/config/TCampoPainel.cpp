#include "config/TCampoPainel.h"

TCampoPainel::TCampoPainel(TTipo tipo, QStringList items, QString text, int digitPositions)
    : FTipo(tipo), FItems(std::move(items)), FDigitPositions(digitPositions)
{
    SetText(text);
}

void TCampoPainel::SetItems(const QStringList& items)
{
    FItems = items;
    SetText(FText);
}

void TCampoPainel::SetText(const QString& text)
{
    if (FTipo == TTipo::Digitos) {
        const QString digits = text.trimmed();
        bool valid = digits.size() <= FDigitPositions;
        for (QChar c : digits)
            valid = valid && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        FText = valid ? digits.rightJustified(FDigitPositions, QLatin1Char(' '))
                      : QString(FDigitPositions, QLatin1Char(' '));
        FItemIndex = -1;
        return;
    }
    FText = text;
    FItemIndex = FItems.indexOf(text);
    if (FItemIndex < 0) {
        for (qsizetype i = 0; i < FItems.size(); ++i) {
            if (FItems[i].compare(text, Qt::CaseInsensitive) == 0) {
                FItemIndex = int(i);
                break;
            }
        }
    }
    if (FItemIndex >= 0 && FTipo == TTipo::ListaFixa)
        FText = FItems[FItemIndex];  // a fixed list shows its item as the list spells it
}

void TCampoPainel::SetItemIndex(int index)
{
    if (index < 0 || index >= FItems.size()) {
        FItemIndex = -1;
        if (FTipo == TTipo::ListaFixa)
            FText.clear();
        return;
    }
    FItemIndex = index;
    FText = FItems[index];
}

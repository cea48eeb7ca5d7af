#pragma once

#include <QString>
#include <QStringList>

// One field of a settings panel as the widgets edit it: its text, the chosen position of its
// list (if it has one) and whether it can be edited.
class TCampoPainel {
public:
    enum class TTipo {
        Texto,      // free text
        Lista,      // a list that also takes any typed text
        ListaFixa,  // only the list's choices can be chosen
        Digitos,    // a mask of digit positions, empty ones held as blanks at the left
    };

    TCampoPainel(TTipo tipo, QStringList items, QString text, int digitPositions = 0);

    TTipo Tipo() const { return FTipo; }
    const QStringList& Items() const { return FItems; }
    void SetItems(const QStringList& items);

    const QString& Text() const { return FText; }
    // A text that names a choice (without regard to case) chooses it; any other text leaves
    // no item chosen and is kept as it is, so a save writes back what was read. A digit mask
    // takes up to its number of digits, blanks around them ignored; a text it cannot hold
    // leaves it empty.
    void SetText(const QString& text);
    // Position of the chosen item, first = 0; -1 when none is chosen.
    int ItemIndex() const { return FItemIndex; }
    // A position outside the list chooses none; the text follows the choice.
    void SetItemIndex(int index);

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled) { FEnabled = enabled; }

private:
    TTipo FTipo;
    QStringList FItems;
    QString FText;
    int FItemIndex = -1;
    int FDigitPositions;
    bool FEnabled = true;
};

#include <gtest/gtest.h>

#include "config/TCampoPainel.h"

namespace {

TEST(TCampoPainel, FixedListChoosesByTextAndKeepsAnUnknownText)
{
    TCampoPainel campo(TCampoPainel::TTipo::ListaFixa, {"None", "Odd", "Even"}, "None");
    EXPECT_EQ(campo.ItemIndex(), 0);
    campo.SetText("even");
    EXPECT_EQ(campo.ItemIndex(), 2);
    EXPECT_EQ(campo.Text(), "Even");
    campo.SetText("Parity?");
    EXPECT_EQ(campo.ItemIndex(), -1);
    EXPECT_EQ(campo.Text(), "Parity?");  // saved back as it was read
    campo.SetItemIndex(1);
    EXPECT_EQ(campo.Text(), "Odd");
    campo.SetItemIndex(3);
    EXPECT_EQ(campo.ItemIndex(), -1);
}

TEST(TCampoPainel, OpenListTakesAnyText)
{
    TCampoPainel campo(TCampoPainel::TTipo::Lista, {"COM1", "COM2"}, "COM1");
    campo.SetText("/dev/ttyUSB0");
    EXPECT_EQ(campo.Text(), "/dev/ttyUSB0");
    EXPECT_EQ(campo.ItemIndex(), -1);
    campo.SetText("COM2");
    EXPECT_EQ(campo.ItemIndex(), 1);
}

TEST(TCampoPainel, DigitMaskHoldsBlanksAtTheLeft)
{
    TCampoPainel campo(TCampoPainel::TTipo::Digitos, {}, "", 5);
    EXPECT_EQ(campo.Text(), "     ");
    const struct {
        const char* In;
        const char* Out;
    } cases[] = {
        {"4001", " 4001"}, {" 4001 ", " 4001"}, {"65535", "65535"}, {"", "     "},
        {"123456", "     "}, {"40a1", "     "}, {"-1", "     "}, {"4 01", "     "},
    };
    for (const auto& c : cases) {
        campo.SetText(c.In);
        EXPECT_EQ(campo.Text(), c.Out) << c.In;
    }
}

}  // namespace

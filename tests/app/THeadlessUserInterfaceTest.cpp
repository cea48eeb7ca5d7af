#include <gtest/gtest.h>

#include <cstdio>

#include "app/THeadlessUserInterface.h"

namespace {
QByteArray Contents(std::FILE* f)
{
    std::rewind(f);
    QByteArray bytes;
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, qsizetype(n));
    return bytes;
}
}  // namespace

TEST(THeadlessUserInterface, EntriesToOutputAndBoxesToErrorInUtf8)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    {
        THeadlessUserInterface ui(out, err);
        ui.StatusAdded(QString::fromUtf8("Error al abrir la puerta COM3\r\nPor favor, revise la configuración"));
        ui.StatusAdded("Bascula1 1520");
        ui.MessageBox(QString::fromUtf8("Atención el programa ya está abierto!"), QString::fromUtf8("Atención"),
                      TMsgIcon::Information);
        ui.MessageBox("Error de inicialización del Servidor x", "", TMsgIcon::None);
    }
    EXPECT_EQ(Contents(out), QByteArray("Error al abrir la puerta COM3\nPor favor, revise la configuraci\xC3\xB3n\n"
                                        "Bascula1 1520\n"));
    EXPECT_EQ(Contents(err), QByteArray("Atenci\xC3\xB3n: Atenci\xC3\xB3n el programa ya est\xC3\xA1 abierto!\n"
                                        "Error de inicializaci\xC3\xB3n del Servidor x\n"));
    std::fclose(out);
    std::fclose(err);
}

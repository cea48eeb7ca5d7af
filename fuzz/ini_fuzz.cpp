// Any bytes as ConfigSerial.ini: reading never fails, and a key written into them reads back.
#include <cstdint>
#include <cstdlib>

#include "config/TIniText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString section = QStringLiteral("GERAL");
    for (const char* key : {"Inicializar", "PortaHost", "ExpRegular", "NBalanca"})
        (void)TIniText::ReadValue(bytes, section, QLatin1String(key));

    const QByteArray written =
        TIniText::WriteValue(bytes, section, QStringLiteral("PortaHost"), QStringLiteral("9191"));
    if (TIniText::ReadValue(written, section, QStringLiteral("PortaHost")) != QStringLiteral("9191"))
        std::abort();
    const QByteArray added = TIniText::WriteValue(written, QStringLiteral("frameConfiguracaoSocketBl1"),
                                                  QStringLiteral("IpOrigem"), QStringLiteral("10.0.0.1"));
    if (TIniText::ReadValue(added, section, QStringLiteral("PortaHost")) != QStringLiteral("9191") ||
        TIniText::ReadValue(added, QStringLiteral("frameConfiguracaoSocketBl1"),
                            QStringLiteral("IpOrigem")) != QStringLiteral("10.0.0.1"))
        std::abort();
    return 0;
}

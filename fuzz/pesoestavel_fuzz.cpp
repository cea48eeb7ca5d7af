// Any raw text, expression, position, length and tolerance through one weight extraction:
// no crash, and the stored weight is always a decimal text that fits 32 bits.
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "Log/UKrLog.h"
#include "platform/AnsiText.h"
#include "platform/TExpressaoRegular.h"
#include "scale/TPesoEstavel.h"

namespace {
QTemporaryDir* gDir = nullptr;

bool IsWeightText(const QString& text)
{
    if (text == QLatin1String("0"))
        return true;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 && QString::number(value) == text;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gDir = new QTemporaryDir();
    startLogging(gDir->path());  // no krlog.config: the default configuration
    return 0;
}

// Layout: position (1 byte, signed), length (1 byte, signed), tolerance (1 byte), tracking
// (1 byte), the expression up to the first NUL, the raw text after it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4));
    const qsizetype nul = rest.indexOf('\0');
    const QString expr = nul < 0 ? QStringLiteral("\\d\\d\\d\\d\\d+") : AnsiToString(rest.left(nul));
    const QString raw = AnsiToString(nul < 0 ? rest : rest.mid(nul + 1));

    TPesoEstavel peso(QStringLiteral("Bascula1"), data[3] & 1, expr);
    peso.SetPosicaoInicial(int8_t(data[0]));
    peso.SetTamanhoString(int8_t(data[1]));
    peso.SetTolerancia(data[2]);
    peso.SetPassouZero(false);
    int events = 0;
    peso.SetOnNovoPeso([&](TPesoEstavel*) { ++events; });
    try {
        peso.LimpaPeso(raw);
        peso.LimpaPeso(raw);
    } catch (const EExpressaoRegular&) {
        if (events != 0)
            std::abort();
    }
    if (!IsWeightText(peso.PesoEstavel()) || events > 2)
        std::abort();
    // The flag is set only with a stored weight at or below the tolerance.
    if (peso.PassouZero() && (events == 0 || !(data[3] & 1) || peso.PesoEstavel().toInt() > data[2]))
        std::abort();
    return 0;
}

#include "scale/TPesoEstavel.h"

#include <QVariant>
#include <cmath>
#include <limits>

#include "Log/TKrLogLevel.h"
#include "Log/TKrLogger.h"

namespace {

const QString kLogger = QStringLiteral("PESOCRU");
const QString kSource = QStringLiteral("TPesoEstavel.LimpaPeso");
const QString kSplitter = QStringLiteral("\\D+");

// A reading is a run of the digits 0 to 9; anything else (the empty field) is no number.
bool ReadNumber(const QString& text, double& value)
{
    if (text.isEmpty())
        return false;
    double v = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    if (!std::isfinite(v))
        return false;
    value = v;
    return true;
}

// Whole numbers are exact in a double far beyond 32 bits, so the range check is exact too.
bool ReadInt32(const QString& text, qint32& value)
{
    double v = 0;
    if (!ReadNumber(text, v) || v > std::numeric_limits<qint32>::max())
        return false;
    value = qint32(v);
    return true;
}

bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= u' ';
}

void LogRecord(const QString& method, const QString& message, const QString& parameter)
{
    TKrLogger::getLogger(kLogger)->log(TKrLogLevel::INFO, kSource, method, message,
                                       QVariant(parameter));
}

}  // namespace

TPesoEstavel::TPesoEstavel(const QString& Anome, bool utilizaPassaZero, const QString& vExpReg)
    : Fnome(Anome),
      FPeso(QStringLiteral("0")),
      FExpRegPeso(vExpReg),
      FTolerancia(0),
      FUtilizaPassaZero(utilizaPassaZero),
      FPassouZero(true)
{
    FRegExpr.SetModifierG(true);
    FDivisor.SetModifierG(true);
    FDivisor.SetExpression(kSplitter);
}

QString TPesoEstavel::GetPassouZero() const
{
    return FPassouZero ? QStringLiteral("S") : QStringLiteral("N");
}

void TPesoEstavel::SetPesoEstavel(const QString& value)
{
    if (value.isEmpty())
        return;
    FPeso = value;
    if (FOnNovoPeso)
        FOnNovoPeso(this);
}

QString TPesoEstavel::CampoPeso(const QString& piece) const
{
    // A 1-based field, cut like a copy that clamps a position before the start to 1.
    const qsizetype start = std::max<qsizetype>(FPosInicial, 1) - 1;
    QStringView field = start < piece.size() ? QStringView(piece).mid(start, TamanhoString())
                                             : QStringView();
    while (!field.isEmpty() && IsBlankOrControl(field.front()))
        field = field.mid(1);
    while (!field.isEmpty() && IsBlankOrControl(field.back()))
        field.chop(1);
    return field.toString();
}

void TPesoEstavel::LimpaPeso(const QString& APesoCru)
{
    if (APesoCru.isEmpty())
        return;
    // The working lists are empty between calls, whichever way a call ends.
    struct Limpeza {
        TPesoEstavel* self;
        ~Limpeza()
        {
            self->FLeituraDividida.clear();
            self->FLeituraLimpa.clear();
        }
    } limpeza{this};

    LogRecord(QStringLiteral("Peso lido direto"), QStringLiteral("PesoCru"), APesoCru);

    FDivisor.Split(APesoCru, FLeituraDividida);
    FRegExpr.SetExpression(FExpRegPeso);
    const bool campo = TamanhoString() > 0;
    for (const QString& piece : std::as_const(FLeituraDividida))
        if (FRegExpr.Exec(piece))
            FLeituraLimpa.append(campo ? CampoPeso(piece) : piece);

    TKrLogger* logger = TKrLogger::getLogger(kLogger);
    if (logger->isLoggable(TKrLogLevel::INFO)) {
        QString leituras;
        for (const QString& leitura : std::as_const(FLeituraLimpa))
            leituras += leitura + QLatin1String("\r\n");
        LogRecord(QStringLiteral("PosRegex"), QStringLiteral("LeituraLimpa"), leituras);
    }

    if (FLeituraLimpa.size() >= 3)
        ExaminaEstabilidade();
}

void TPesoEstavel::ExaminaEstabilidade()
{
    int contador = 0;
    for (qsizetype j = 0; j + 1 < FLeituraLimpa.size(); ++j) {
        double a = 0, b = 0;
        // A pair that does not convert leaves the run as it was.
        if (!ReadNumber(FLeituraLimpa[j], a) || !ReadNumber(FLeituraLimpa[j + 1], b))
            continue;
        if (std::fabs(a - b) > FTolerancia)
            contador = 0;
        else
            ++contador;
        if (contador < 3)
            continue;
        // Stable: the FIRST reading of the call is the weight. Beyond 32 bits it cannot be
        // stored, and every later stable point fails the same way.
        qint32 peso = 0;
        if (!ReadInt32(FLeituraLimpa[0], peso))
            continue;
        SetPesoEstavel(QString::number(peso));
        if (FUtilizaPassaZero && peso <= FTolerancia)
            FPassouZero = true;
        LogRecord(QStringLiteral("LeituraOK"), QStringLiteral("PesoEstavel"), FPeso);
        return;
    }
}

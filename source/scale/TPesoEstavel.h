#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "platform/TExpressaoRegular.h"

// A scale's weight extractor: cuts each poll's raw text into digit runs, keeps the readings
// that match the weight expression and stores a new weight when four neighbouring readings
// agree within the tolerance. Used on the main thread only, except TamanhoString, which the
// reader thread reads.
class TPesoEstavel {
public:
    using TNotifyEvent = std::function<void(TPesoEstavel* Sender)>;

    TPesoEstavel(const QString& Anome, bool utilizaPassaZero, const QString& vExpReg);

    // One extraction step over the raw text of one poll. Raises EExpressaoRegular for an unusable
    // weight expression and what the logging or the event raise; the weight and flag then
    // keep their values.
    void LimpaPeso(const QString& APesoCru);
    // "S" when the scale passed through zero, "N" otherwise.
    QString GetPassouZero() const;

    const QString& Nome() const { return Fnome; }
    void SetNome(const QString& value) { Fnome = value; }
    const QString& PesoEstavel() const { return FPeso; }
    // An empty value is ignored; any other is stored and raises OnNovoPeso, also when equal.
    void SetPesoEstavel(const QString& value);
    bool UtilizaPassaZero() const { return FUtilizaPassaZero; }
    void SetUtilizaPassaZero(bool value) { FUtilizaPassaZero = value; }
    bool PassouZero() const { return FPassouZero; }
    void SetPassouZero(bool value) { FPassouZero = value; }
    double Tolerancia() const { return FTolerancia; }
    void SetTolerancia(double value) { FTolerancia = value; }
    qint32 PosicaoInicial() const { return FPosInicial; }
    void SetPosicaoInicial(qint32 value) { FPosInicial = value; }
    qint32 TamanhoString() const { return FTamanhoString.load(std::memory_order_relaxed); }
    void SetTamanhoString(qint32 value) { FTamanhoString.store(value, std::memory_order_relaxed); }
    const TNotifyEvent& OnNovoPeso() const { return FOnNovoPeso; }
    void SetOnNovoPeso(TNotifyEvent value) { FOnNovoPeso = std::move(value); }

    const QString& ExpRegPeso() const { return FExpRegPeso; }

private:
    QString CampoPeso(const QString& piece) const;
    void ExaminaEstabilidade();

    QString Fnome;
    QString FPeso;
    QString FExpRegPeso;
    TNotifyEvent FOnNovoPeso;
    TExpressaoRegular FRegExpr;   // the weight expression
    TExpressaoRegular FDivisor;   // the splitting expression, compiled once
    QStringList FLeituraDividida;
    QStringList FLeituraLimpa;
    double FTolerancia;
    bool FUtilizaPassaZero;
    bool FPassouZero;
    qint32 FPosInicial = 0;
    std::atomic<qint32> FTamanhoString{0};
};

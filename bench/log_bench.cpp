// Figures of the logging framework: the weight extractor's request and record with the default
// configuration, an event dropped by a logger at OFF, and one record through a JSON file handler.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "Log/TKrLogLevel.h"
#include "Log/TKrLogManager.h"
#include "Log/TKrLogger.h"
#include "Log/UKrLog.h"

namespace {

const QString kLogger = QStringLiteral("PESOCRU");
const QString kSource = QStringLiteral("TPesoEstavel.LimpaPeso");
const QString kMethod = QStringLiteral("Peso lido direto");
const QString kMessage = QStringLiteral("PesoCru");
const QString kRaw = QStringLiteral("000000000\r000000000\r000000000\r000000000\r000000000");

void StartWith(QTemporaryDir& dir, const QByteArray* config)
{
    if (config) {
        QFile file(dir.filePath(QStringLiteral("krlog.config")));
        file.open(QIODevice::WriteOnly);
        file.write(*config);
    }
    startLogging(dir.path());
}

// (a) Default configuration: the record is made and reaches only the root's discarding handler.
void BM_GetLoggerAndLogDefault(benchmark::State& state)
{
    QTemporaryDir dir;
    StartWith(dir, nullptr);
    for (auto _ : state)
        TKrLogger::getLogger(kLogger)->log(TKrLogLevel::INFO, kSource, kMethod, kMessage, QVariant(kRaw));
    shutdownLogging();
}
BENCHMARK(BM_GetLoggerAndLogDefault);

// (b) A logger at OFF drops the event before any record exists.
void BM_DroppedAtOff(benchmark::State& state)
{
    QTemporaryDir dir;
    const QByteArray config = "PESOCRU.level=OFF";
    StartWith(dir, &config);
    TKrLogger* logger = TKrLogger::getLogger(kLogger);
    const QVariant raw(kRaw);
    for (auto _ : state) {
        logger->log(TKrLogLevel::INFO, kSource, kMethod, kMessage, raw);
        benchmark::ClobberMemory();
    }
    shutdownLogging();
}
BENCHMARK(BM_DroppedAtOff);

// (c) One record formatted and written (two writes: separator and line) to a JSON file.
void BM_RecordThroughJsonFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QByteArray config =
        "PESOCRU.handlers=TKrJsonFileHandler\r\nTKrJsonFileHandler.formatter=TKrJsonTextFormatter";
    StartWith(dir, &config);
    TKrLogger* logger = TKrLogger::getLogger(kLogger);
    for (auto _ : state)
        logger->log(TKrLogLevel::INFO, kSource, kMethod, kMessage, QVariant(kRaw));
    shutdownLogging();
}
BENCHMARK(BM_RecordThroughJsonFile);

}  // namespace

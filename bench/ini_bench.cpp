// Figures of the settings file: reading GERAL from its bytes, a key behind a 10 MB line,
// and a whole load and save of the general settings on disk (each write replaces the file).
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "app/TFormServidor.h"
#include "config/TIniText.h"

namespace {

const char* const kKeys[] = {"Inicializar", "PortaHost", "ExpRegular", "TempoLeituraCom",
                             "NBalanca", "VisualizarLeituras", "UtilizaTolerancia", "PassaZero",
                             "TipoLeituraOrigem_BL1", "TipoLeituraOrigem_BL2",
                             "PosicaoInicial_BL1", "TamanhoString_BL1", "PosicaoInicial_BL2",
                             "TamanhoString_BL2"};

QByteArray TypicalFile()
{
    QByteArray file = "[GERAL]\r\n";
    for (const char* key : kKeys)
        file += QByteArray(key) + "=1\r\n";
    for (const char* section : {"frameConfiguracaoSerialBL1", "frameConfiguracaoSerialBL2"})
        file += QByteArray("[") + section +
                "]\r\nPort=COM1\r\nBaudRate=9600\r\nDataBits=8\r\nStopBits=1\r\nParity=None\r\n"
                "FlowControl=None\r\nStartString=\r\nStopString=\r\n";
    return file;
}

void BM_ReadGeralKeys(benchmark::State& state)
{
    const QByteArray file = TypicalFile();
    for (auto _ : state)
        for (const char* key : kKeys)
            benchmark::DoNotOptimize(TIniText::ReadValue(file, "GERAL", QLatin1String(key)));
}
BENCHMARK(BM_ReadGeralKeys);

void BM_ReadBehindA10MBLine(benchmark::State& state)
{
    const QByteArray file = QByteArray(10 * 1024 * 1024, 'x') + "\r\n" + TypicalFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(TIniText::ReadValue(file, "GERAL", "NBalanca"));
    state.SetBytesProcessed(state.iterations() * file.size());
}
BENCHMARK(BM_ReadBehindA10MBLine)->Unit(benchmark::kMillisecond);

void BM_LoadGeneralSettings(benchmark::State& state)
{
    QTemporaryDir dir;
    TFormServidor form(dir.path(), dir.path());
    form.CarregaConfiguracaoGeral();  // creates the file once
    for (auto _ : state)
        form.CarregaConfiguracaoGeral();
}
BENCHMARK(BM_LoadGeneralSettings)->Unit(benchmark::kMicrosecond);

void BM_SaveGeneralSettings(benchmark::State& state)
{
    QTemporaryDir dir;
    TFormServidor form(dir.path(), dir.path());
    for (auto _ : state)
        form.GravaConfiguracaoGeral();  // fourteen flushed replacements
}
BENCHMARK(BM_SaveGeneralSettings)->Unit(benchmark::kMillisecond);

}  // namespace

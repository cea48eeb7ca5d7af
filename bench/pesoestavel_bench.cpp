// Figures of one weight extraction with the default expression and logging configuration:
// the zero text and five 12-character telegrams. "live_blocks" is the number of heap blocks
// a call leaves allocated (0: nothing outlives the call).
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <atomic>
#include <cstdlib>
#include <new>

#include "Log/UKrLog.h"
#include "scale/TPesoEstavel.h"
#include "scale/TextoZero.h"

namespace {
std::atomic<long> gLiveBlocks{0};
}  // namespace

void* operator new(std::size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    gLiveBlocks.fetch_add(1, std::memory_order_relaxed);
    return p;
}
void operator delete(void* p) noexcept
{
    if (p) {
        gLiveBlocks.fetch_sub(1, std::memory_order_relaxed);
        std::free(p);
    }
}
void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

void Extract(benchmark::State& state, const QString& raw)
{
    QTemporaryDir dir;
    startLogging(dir.path());
    TPesoEstavel peso(QStringLiteral("Bascula1"), true, QStringLiteral("\\d\\d\\d\\d\\d+"));
    peso.SetPosicaoInicial(1);
    peso.SetOnNovoPeso([](TPesoEstavel*) {});
    peso.LimpaPeso(raw);  // the logger and the compiled expressions exist from here on
    const long before = gLiveBlocks.load();
    for (auto _ : state)
        peso.LimpaPeso(raw);
    state.counters["live_blocks"] = double(gLiveBlocks.load() - before);
    shutdownLogging();
}

void BM_LimpaPesoZeroText(benchmark::State& state)
{
    Extract(state, kTextoZero);
}
BENCHMARK(BM_LimpaPesoZeroText);

void BM_LimpaPesoFiveTelegrams(benchmark::State& state)
{
    QString raw;
    for (const char* digits : {"001520", "001520", "001521", "001520", "001520"})
        raw += QStringLiteral("  %1 kg\r").arg(QLatin1String(digits));  // 12 characters each
    Extract(state, raw);
}
BENCHMARK(BM_LimpaPesoFiveTelegrams);

}  // namespace

// Random numbers: GetRandom's rate, including the 624-word refills it runs every 624 draws.
#include <benchmark/benchmark.h>

#include "zqlib.h"

static void BM_GetRandom(benchmark::State &state) {
    SeedRandom(4357);
    int sum = 0;
    for (auto _ : state) {
        sum += GetRandom(439);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetRandom);

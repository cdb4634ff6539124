// The block loop alone (an effect index that passes audio through), as the
// floor under every effect's figure.
#include "bench/bench_audio.h"

namespace {

void BM_BlockLoopPassThrough(benchmark::State& state) {
    // Before any setup every setting is zero: the Alienator with a 0 dB
    // squelch, which leaves every sample as it is.
    TheEffectSettings() = EffectSettings{};
    bench::RunRealTimeBenchmark(state);
}
BENCHMARK(BM_BlockLoopPassThrough)->Unit(benchmark::kMillisecond);

}  // namespace

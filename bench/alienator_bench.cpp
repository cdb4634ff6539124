// The Alienator with its built-in "Computer" setting: gliding hops around
// 400 Hz, squelch -70 dB, fully wet.
#include "bench/bench_audio.h"

namespace {

void BM_AlienatorComputer(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Alienator, "Computer");
    bench::RunRealTimeBenchmark(state);
}
BENCHMARK(BM_AlienatorComputer)->Unit(benchmark::kMillisecond);

}  // namespace

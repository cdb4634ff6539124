// The Communicator with its built-in "Stormtrooper" setting: a 600-2600 Hz
// voice band, bursts of 200 ms with random loudness, fully wet.
#include "bench/bench_audio.h"

namespace {

void BM_CommunicatorStormtrooper(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Communicator, "Stormtrooper");
    bench::RunRealTimeBenchmark(state);
}
BENCHMARK(BM_CommunicatorStormtrooper)->Unit(benchmark::kMillisecond);

}  // namespace

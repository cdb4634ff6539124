// The Communicator with its built-in "Stormtrooper" setting (a 600-2600 Hz
// voice band, 200 ms bursts with random loudness below -75 dB, fully wet).
// On the benchmark's voice that squelch is never reached, so a second case
// lowers the thresholds of "Total Breakup" until every pause and many
// syllable dips get static, with changing static at 100 % on top: the noise
// filter and the re-banding then run on a large share of the samples.
#include "bench/bench_audio.h"

namespace {

void BM_CommunicatorStormtrooper(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Communicator, "Stormtrooper");
    bench::RunRealTimeBenchmark(state);
}
BENCHMARK(BM_CommunicatorStormtrooper)->Unit(benchmark::kMillisecond);

void BM_CommunicatorStaticHeavy(benchmark::State& state) {
    bench::SelectStaticHeavyCommunicator();
    bench::RunRealTimeBenchmark(state);
}
BENCHMARK(BM_CommunicatorStaticHeavy)->Unit(benchmark::kMillisecond);

}  // namespace

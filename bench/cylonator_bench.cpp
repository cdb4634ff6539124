// The Cylonator's "Battle Droid" over the 60 s of stereo voice.
#include "bench/bench_audio.h"

namespace {

void BM_CylonatorBattleDroid(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Cylonator, "Battle Droid");
    bench::RunRealTimeBenchmark(state);
}
BENCHMARK(BM_CylonatorBattleDroid)->Unit(benchmark::kMillisecond);

}  // namespace

// The Deepenator with its "Dark Lord" preset over a minute of stereo voice.
#include "bench/bench_audio.h"

namespace {

void BM_DeepenatorDarkLord(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Deepenator, "Dark Lord");
    bench::RunRealTimeBenchmark(state);
}
BENCHMARK(BM_DeepenatorDarkLord)->Unit(benchmark::kMillisecond);

}  // namespace

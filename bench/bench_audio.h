// Shared pieces of the effect benchmarks: voice-like test audio and a run
// of one effect through the plug-in's real XfmDo path over an in-memory
// editor.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "settings/effect_settings.h"

namespace bench {

constexpr int kSampleRate = 44100;
constexpr int kSeconds = 60;

// 60 s of 16-bit stereo at 44.1 kHz: a harmonic-rich glottal-like tone with
// a wandering pitch, shaped into syllables with short pauses, plus a little
// breath noise. Deterministic.
const std::vector<std::int16_t>& VoiceLikeStereo();

// Makes `kind` the active effect with the settings of its built-in preset
// `presetName` (and that preset's mix as the working mix).
void SelectBuiltInPreset(EffectKind kind, const char* presetName);

// The Communicator with bursts and re-banding on many samples: "Total
// Breakup" at sensitivity -35, squelch -45 and changing static 100 %.
void SelectStaticHeavyCommunicator();

// Processes the whole of `audio` (interleaved) with XfmDo; returns XfmDo's
// result.
std::int32_t ProcessWithXfmDo(std::vector<std::int16_t>& audio, std::uint16_t channels);

// Runs the benchmark loop for the active effect over VoiceLikeStereo() and
// reports "realtime_x": audio seconds per CPU second.
void RunRealTimeBenchmark(benchmark::State& state);

}  // namespace bench

// Renders the same generated audio through every effect with its first
// built-in preset and with its default settings, and a fixed seed, so that the Linux and the Windows build can
// be compared sample by sample:
//
//   render_presets render           writes <effect>-<channels>.raw here
//   render_presets compare A B      compares the files of two folders
//
// The input is made with integer arithmetic only, so both builds start from
// the same bytes whatever their math libraries round.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/effect_runs.h"
#include "platform/clock.h"
#include "settings/builtin_presets.h"
#include "settings/setting_tables.h"
#include "tests/test_host.h"

namespace {

constexpr std::uint32_t kSeed = 20261208;
constexpr int kRate = 44100;

struct Case {
    EffectKind effect;
    int channels;
    int seconds;
    bool defaults;  // the table's defaults instead of the first preset
};

// The defaults put the Alienator's squelch at -90 dB, where a follower fed
// digital silence sits exactly at the switch point.
const Case kCases[] = {
    {EffectKind::Alienator, 2, 3, false},    {EffectKind::Alienator, 1, 1, false},
    {EffectKind::Communicator, 2, 3, false}, {EffectKind::Communicator, 1, 1, false},
    {EffectKind::Deepenator, 2, 3, false},   {EffectKind::Deepenator, 1, 1, false},
    {EffectKind::Cylonator, 2, 3, false},    {EffectKind::Cylonator, 1, 1, false},
    {EffectKind::Alienator, 1, 3, true},     {EffectKind::Communicator, 1, 3, true},
    {EffectKind::Deepenator, 1, 1, true},    {EffectKind::Cylonator, 1, 1, true},
};

// Voice-like input: a buzz whose pitch glides, shaped into syllables by a
// triangular envelope, with breaths of noise, near silence and digital
// silence between phrases (the squelch and static paths need those).
std::vector<std::int16_t> MakeAudio(int channels, int seconds) {
    std::vector<std::int16_t> audio;
    std::uint32_t noise = 12345;
    std::int64_t phase = 0;
    const int frames = kRate * seconds;
    for (int n = 0; n < frames; ++n) {
        noise = noise * 1664525u + 1013904223u;
        const int hiss = static_cast<int>(noise >> 22) - 512;  // -512..511
        const int inPhrase = n % 33075;                        // 0.75 s phrases
        std::int64_t sample = 0;
        if (inPhrase < 24000) {
            const int syllable = inPhrase % 6000;
            const int envelope = syllable < 3000 ? syllable : 6000 - syllable;  // 0..3000
            const std::int64_t period = 300 + (n / 441) % 120;                  // about 100..150 Hz
            phase = (phase + 1) % period;
            const std::int64_t saw = (phase * 2000) / period - 1000;             // -1000..999
            sample = (saw * envelope) / 200 + hiss * 2;
        } else if (inPhrase < 28500) {
            sample = hiss / 16;
        }
        for (int c = 0; c < channels; ++c) {
            audio.push_back(static_cast<std::int16_t>(c == 0 ? sample : (sample * 3) / 4));
        }
    }
    return audio;
}

// The effect's defaults, or its first built-in preset applied as the dialog
// applies it: the effect's block and the working mix take its values.
EffectSettings SettingsFor(const Case& c, std::string* presetName) {
    const EffectKind effect = c.effect;
    EffectSettings settings{};
    const EffectTable& table = TableOf(effect);
    WriteDefaults(settings, table);
    const BuiltInPresetList presets = BuiltInPresetsOf(effect);
    if (!c.defaults && presets.count > 0) {
        std::memcpy(BlockOf(settings, table), presets.presets[0].block, table.blockSize);
        *presetName = presets.presets[0].name;
    } else {
        *presetName = "defaults";
    }
    const auto* block = static_cast<const double*>(BlockOf(settings, table));
    settings.workingMix = WorkingMix{block[1], block[2], block[3]};  // Wet Mix, Dry Mix, Mix Linked
    settings.activeEffect = static_cast<std::int32_t>(effect);
    return settings;
}

std::string FileName(const Case& c) {
    return std::string(TableOf(c.effect).name) + (c.defaults ? "-defaults" : "") +
           (c.channels == 1 ? "-mono.raw" : "-stereo.raw");
}

int Render() {
    platform::FixRunSeed(kSeed);
    for (const Case& c : kCases) {
        std::string preset;
        const EffectSettings settings = SettingsFor(c, &preset);
        TestHost host(MakeAudio(c.channels, c.seconds), static_cast<std::uint16_t>(c.channels), kRate);
        if (host::RunActiveEffect(host.record, settings) != 0) {
            std::fprintf(stderr, "%s: the run failed\n", FileName(c).c_str());
            return 1;
        }
        FILE* out = std::fopen(FileName(c).c_str(), "wb");
        if (out == nullptr || std::fwrite(host.audio.data(), 2, host.audio.size(), out) != host.audio.size()) {
            std::fprintf(stderr, "%s: cannot write\n", FileName(c).c_str());
            return 1;
        }
        std::fclose(out);
        std::printf("rendered %-22s preset \"%s\"\n", FileName(c).c_str(), preset.c_str());
    }
    return 0;
}

bool ReadSamples(const std::string& path, std::vector<std::int16_t>* samples) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return false;
    std::int16_t buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 2, 4096, in)) > 0) samples->insert(samples->end(), buffer, buffer + got);
    std::fclose(in);
    return true;
}

// A math library may round sin, atan2, log10 and the like differently in
// the last bit; after truncation to 16 bits that can move a sample by one,
// now and then. Anything more is a real difference between the builds.
int Compare(const std::string& first, const std::string& second) {
    int failures = 0;
    for (const Case& c : kCases) {
        std::vector<std::int16_t> a, b;
        const std::string name = FileName(c);
        if (!ReadSamples(first + "/" + name, &a) || !ReadSamples(second + "/" + name, &b) ||
            a.size() != b.size() || a.empty()) {
            std::printf("FAIL %-22s missing or of different length\n", name.c_str());
            ++failures;
            continue;
        }
        std::size_t differing = 0;
        int largest = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const int difference = std::abs(int{a[i]} - int{b[i]});
            if (difference != 0) ++differing;
            if (difference > largest) largest = difference;
        }
        const bool rare = differing * 1000 <= a.size();  // at most one sample in a thousand
        const bool ok = largest <= 1 && rare;
        std::printf("%s %-22s %zu of %zu samples differ, largest difference %d\n", ok ? "ok  " : "FAIL",
                    name.c_str(), differing, a.size(), largest);
        if (!ok) ++failures;
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "render") == 0) return Render();
    if (argc == 4 && std::strcmp(argv[1], "compare") == 0) return Compare(argv[2], argv[3]);
    std::fprintf(stderr, "usage: render_presets render | compare DIR_A DIR_B\n");
    return 2;
}

// EffectSettings: the one process-wide record of every effect's settings.
//
// The dialog edits it, the registry store and the presets copy it, the
// processing routines only read it. Every field but activeEffect is a
// double, flags and list indexes included. Each setting is described once,
// in its effect's table (settings/setting_tables.h), by its registry value
// name, range, default and page control.
#pragma once

#include <cstddef>
#include <cstdint>

enum class EffectKind : std::int32_t {
    Alienator = 0,
    Communicator = 1,
    Deepenator = 2,
    Cylonator = 3,
};
constexpr int kEffectCount = 4;

struct WorkingMix {
    double wetMix;     // "Wet Mix", percent
    double dryMix;     // "Dry Mix", percent
    double mixLinked;  // "Mix Linked", 1.0 linked, 0.0 independent
};

struct AlienatorSettings {
    double presetSelection;
    double wetMix;
    double dryMix;
    double mixLinked;
    double carrierFreq;  // Hz
    double squelch;      // dB
    double hopFreqDev;   // Hz
    double hopPeriod;    // ms
    double hopEnabled;
    double smoothEnabled;
};

struct CommunicatorSettings {
    double presetSelection;
    double wetMix;
    double dryMix;
    double mixLinked;
    double fullness;     // Hz, upper edge of the voice band
    double frequency;    // Hz, lower edge of the voice band
    double sensitivity;  // dB
    double duration;     // ms
    double squelch;      // dB
    double changingStatic;  // percent
    double changingStaticEnabled;
    double randomBreakup;
    double aliasing;
    double randomAmplitude;
    double voiceBleed;
};

struct CylonatorSettings {
    double presetSelection;
    double wetMix;
    double dryMix;
    double mixLinked;
    double freq;  // Hz
    double pitchLeft;
    double pitchRight;
    double amplitudeRight;
    double amplitudeLeft;
    double noiseLeftEnabled;
    double noiseRightEnabled;
};

struct DeepenatorSettings {
    double presetSelection;
    double wetMix;
    double dryMix;
    double mixLinked;
    double reverbDelayLeft;  // ms
    double reverbPowerLeft;
    double combDelayLeft;    // ms
    double pitchScaleLeft;   // half-steps
    double reverbDelayRight;
    double reverbPowerRight;
    double combDelayRight;
    double pitchScaleRight;
    double randomPitchScaleEnabled;
    double randomReverbDelayEnabled;
};

static_assert(sizeof(WorkingMix) == 3 * sizeof(double), "WorkingMix is three doubles");
static_assert(sizeof(AlienatorSettings) == 10 * sizeof(double), "Alienator block");
static_assert(sizeof(CommunicatorSettings) == 15 * sizeof(double), "Communicator block");
static_assert(sizeof(CylonatorSettings) == 11 * sizeof(double), "Cylonator block");
static_assert(sizeof(DeepenatorSettings) == 14 * sizeof(double), "Deepenator block");

// Room for any effect's block.
union AnyEffectBlock {
    AlienatorSettings alienator;
    CommunicatorSettings communicator;
    DeepenatorSettings deepenator;
    CylonatorSettings cylonator;
};

// Every block begins with the same four fields.
#define TOVANA_SAME_HEAD(Block)                                                                \
    static_assert(offsetof(Block, presetSelection) == offsetof(AlienatorSettings, presetSelection) && \
                      offsetof(Block, wetMix) == offsetof(AlienatorSettings, wetMix) &&               \
                      offsetof(Block, dryMix) == offsetof(AlienatorSettings, dryMix) &&               \
                      offsetof(Block, mixLinked) == offsetof(AlienatorSettings, mixLinked),           \
                  #Block " begins as every block does")
TOVANA_SAME_HEAD(CommunicatorSettings);
TOVANA_SAME_HEAD(DeepenatorSettings);
TOVANA_SAME_HEAD(CylonatorSettings);
#undef TOVANA_SAME_HEAD

struct EffectSettings {
    std::int32_t activeEffect;  // an EffectKind
    WorkingMix workingMix;
    AlienatorSettings alienator;
    CommunicatorSettings communicator;
    CylonatorSettings cylonator;
    DeepenatorSettings deepenator;
};

// The process-wide record; all zero when the library loads.
EffectSettings& TheEffectSettings();

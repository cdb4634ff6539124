// What the LV2 plug-ins know of the settings tables, generated at build
// time from them (lv2/ttl_gen.cpp writes port_map_generated.cpp beside the
// bundle's Turtle files), so the plug-in library needs nothing but the
// engine. Also the port layout that the Turtle files and the library share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/effect_settings.h"

namespace lv2plugin {

// One setting of an effect's block, in table order.
struct SettingRow {
    std::uint32_t offset;  // byte offset of the double in the block
    double minimum;
    double maximum;
    double defaultValue;
    std::int32_t port;  // its control input port; -1 for settings without one
    bool toggled;       // a check box: 0 or 1
};

struct EffectRows {
    const SettingRow* rows;
    std::size_t rowCount;
    std::uint32_t controlCount;  // rows with a port: ports 0 .. controlCount - 1
    std::size_t blockSize;
};

// Indexed by EffectKind.
extern const EffectRows kEffectRows[kEffectCount];

// The effect's controls come first, in table order, then these.
constexpr std::uint32_t SeedPort(std::uint32_t controlCount) { return controlCount; }
constexpr std::uint32_t AudioInPort(std::uint32_t controlCount, int channel) {
    return controlCount + 1 + static_cast<std::uint32_t>(channel);
}
constexpr std::uint32_t AudioOutPort(std::uint32_t controlCount, int channels, int channel) {
    return controlCount + 1 + static_cast<std::uint32_t>(channels + channel);
}

// The seed control: -1 takes the clock at activation, 0 .. kMaxSeed that seed.
constexpr double kClockSeed = -1;
constexpr double kMaxSeed = 16777215;  // the largest whole number a float holds exactly

// One plug-in: an effect in mono (1 channel) or stereo (2) form.
struct PluginForm {
    EffectKind effect;
    int channels;
};
// Every effect in EffectKind order, mono first, then stereo.
constexpr std::size_t kFormCount = 2 * kEffectCount;
struct FormList {
    PluginForm forms[kFormCount];
};
constexpr FormList MakeForms() {
    FormList list{};
    for (std::size_t i = 0; i < kFormCount; ++i) {
        list.forms[i] = {static_cast<EffectKind>(i / 2), 1 + static_cast<int>(i % 2)};
    }
    return list;
}
constexpr FormList kFormList = MakeForms();
inline constexpr const PluginForm (&kForms)[kFormCount] = kFormList.forms;

// Generated: the URI of each form, in the order of kForms.
extern const char* const kFormUris[kFormCount];

}  // namespace lv2plugin

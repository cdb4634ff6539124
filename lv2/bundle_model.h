// The LV2 bundle as the settings tables and the built-in presets describe
// it: which settings become control ports, their symbols and names, the
// plug-ins' URIs and names and the presets' values. The Turtle generator and
// the tests read it; the plug-in library reads the generated port map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lv2/port_map.h"
#include "settings/setting_tables.h"

namespace lv2bundle {

constexpr const char* kBundleName = "zentrix-tovana.lv2";
constexpr const char* kLibraryName = "zentrix-tovana.so";

// The registry value name in lower case, every run of other characters
// turned into one '_': "Carrier Freq" -> "carrier_freq".
std::string PortSymbol(const std::string& name);

// Every setting but "Preset Selection" and "Mix Linked" is a control port.
bool HasPort(const SettingInfo& setting);

struct ControlPort {
    const SettingInfo* setting;
    std::uint32_t index;
    std::string symbol;
    std::string name;  // the registry value name
};
std::vector<ControlPort> ControlPorts(EffectKind effect);

std::string FormUri(const lv2plugin::PluginForm& form);   // urn:kestrum:zentrix-tovana:alienator[:stereo]
std::string FormName(const lv2plugin::PluginForm& form);  // Zentrix Tovana Alienator [Stereo]
std::string PresetUri(const lv2plugin::PluginForm& form, const std::string& presetName);

// The value a built-in preset gives a port: the block's value within the
// slider's range, as the editor's page stores it once its controls are
// committed ("Bounty Hunter" holds 0 for the Alienator's hop settings).
double PresetPortValue(const SettingInfo& setting, const void* presetBlock);

}  // namespace lv2bundle

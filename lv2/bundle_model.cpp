#include "lv2/bundle_model.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "host/product_name.h"

namespace lv2bundle {

namespace {

// Every block begins with the same four fields.
constexpr std::size_t kMixLinkedOffset = offsetof(AlienatorSettings, mixLinked);

const char* const kUriBase = "urn:kestrum:zentrix-tovana:";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string PortSymbol(const std::string& name) {
    std::string symbol;
    bool inRun = false;
    for (unsigned char c : name) {
        if (std::isalnum(c)) {
            symbol += static_cast<char>(std::tolower(c));
            inRun = false;
        } else if (!inRun) {
            symbol += '_';
            inRun = true;
        }
    }
    return symbol;
}

bool HasPort(const SettingInfo& setting) {
    return setting.kind != SettingKind::ListIndex && setting.offset != kMixLinkedOffset;
}

std::vector<ControlPort> ControlPorts(EffectKind effect) {
    const EffectTable& table = TableOf(effect);
    std::vector<ControlPort> ports;
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        const SettingInfo& setting = table.settings[i];
        if (!HasPort(setting)) continue;
        const std::string name = SettingName(setting);
        ports.push_back({&setting, static_cast<std::uint32_t>(ports.size()), PortSymbol(name), name});
    }
    return ports;
}

std::string FormUri(const lv2plugin::PluginForm& form) {
    return kUriBase + Lower(TableOf(form.effect).name) + (form.channels == 1 ? "" : ":stereo");
}

std::string FormName(const lv2plugin::PluginForm& form) {
    return std::string(TOVANA_PRODUCT_NAME " ") + TableOf(form.effect).name +
           (form.channels == 1 ? "" : " Stereo");
}

std::string PresetUri(const lv2plugin::PluginForm& form, const std::string& presetName) {
    std::string slug = PortSymbol(presetName);
    slug.erase(std::find_if(slug.rbegin(), slug.rend(), [](char c) { return c != '_'; }).base(),
               slug.end());
    return FormUri(form) + ":preset:" + slug;
}

double PresetPortValue(const SettingInfo& setting, const void* presetBlock) {
    return std::clamp(BlockValue(presetBlock, setting), setting.minimum, setting.maximum);
}

}  // namespace lv2bundle

// Writes the LV2 bundle's Turtle files and the plug-in library's port map
// from the settings tables and the built-in presets, at build time:
//
//   ttl_gen BUNDLE_DIR PORT_MAP_CPP
//
// BUNDLE_DIR receives manifest.ttl, plugins.ttl and presets.ttl.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "lv2/bundle_model.h"
#include "settings/builtin_presets.h"

namespace {

using lv2bundle::ControlPort;
using lv2plugin::PluginForm;

const char* const kPrefixes =
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n";

// The LV2 class that tells hosts what kind of effect each one is.
const char* PluginClass(EffectKind effect) { return TableOf(effect).lv2Class; }

const char* UnitUri(SettingUnit unit) {
    switch (unit) {
        case SettingUnit::None: return nullptr;
        case SettingUnit::Hertz: return "units:hz";
        case SettingUnit::Milliseconds: return "units:ms";
        case SettingUnit::Decibels: return "units:db";
        case SettingUnit::Percent: return "units:pc";
        case SettingUnit::HalfSteps: return "units:semitone12TET";
    }
    return nullptr;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A Turtle decimal ("5.0", "-90.0"); every value of the tables is whole.
std::string Decimal(double value) {
    char text[64];
    if (value == std::floor(value)) {
        std::snprintf(text, sizeof text, "%.1f", value);
    } else {
        std::snprintf(text, sizeof text, "%.17g", value);
    }
    return text;
}

std::string Uri(const std::string& uri) { return "<" + uri + ">"; }

void WriteControlPort(std::ostream& out, const ControlPort& port) {
    const SettingInfo& s = *port.setting;
    out << "\t\ta lv2:InputPort , lv2:ControlPort ;\n"
        << "\t\tlv2:index " << port.index << " ;\n"
        << "\t\tlv2:symbol " << Quoted(port.symbol) << " ;\n"
        << "\t\tlv2:name " << Quoted(port.name) << " ;\n"
        << "\t\tlv2:default " << Decimal(s.defaultValue) << " ;\n"
        << "\t\tlv2:minimum " << Decimal(s.minimum) << " ;\n"
        << "\t\tlv2:maximum " << Decimal(s.maximum);
    out << " ;\n\t\tlv2:portProperty " << (s.kind == SettingKind::Flag ? "lv2:toggled" : "lv2:integer");
    if (const char* unit = UnitUri(s.unit)) out << " ;\n\t\tunits:unit " << unit;
}

void WritePlugin(std::ostream& out, const PluginForm& form) {
    const std::vector<ControlPort> ports = lv2bundle::ControlPorts(form.effect);
    const auto controls = static_cast<std::uint32_t>(ports.size());
    out << Uri(lv2bundle::FormUri(form)) << "\n"
        << "\ta lv2:Plugin , " << PluginClass(form.effect) << " ;\n"
        << "\tdoap:name " << Quoted(lv2bundle::FormName(form)) << " ;\n"
        << "\tlv2:optionalFeature lv2:hardRTCapable ;\n"
        << "\tlv2:port [\n";
    for (const ControlPort& port : ports) {
        WriteControlPort(out, port);
        out << "\n\t] , [\n";
    }
    out << "\t\ta lv2:InputPort , lv2:ControlPort ;\n"
        << "\t\tlv2:index " << lv2plugin::SeedPort(controls) << " ;\n"
        << "\t\tlv2:symbol \"seed\" ;\n"
        << "\t\tlv2:name \"Seed\" ;\n"
        << "\t\trdfs:comment \"Seed of the random generator, taken when the plug-in is activated: "
           "-1 the clock, 0 or more this number\" ;\n"
        << "\t\tlv2:default " << Decimal(lv2plugin::kClockSeed) << " ;\n"
        << "\t\tlv2:minimum " << Decimal(lv2plugin::kClockSeed) << " ;\n"
        << "\t\tlv2:maximum " << Decimal(lv2plugin::kMaxSeed) << " ;\n"
        << "\t\tlv2:portProperty lv2:integer , pprops:notAutomatic\n";
    static const char* const kMono[][2] = {{"in", "In"}, {"out", "Out"}};
    static const char* const kStereo[][2] = {
        {"in_l", "Left In"}, {"in_r", "Right In"}, {"out_l", "Left Out"}, {"out_r", "Right Out"}};
    for (int direction = 0; direction < 2; ++direction) {
        for (int channel = 0; channel < form.channels; ++channel) {
            const char* const* names =
                form.channels == 1 ? kMono[direction] : kStereo[direction * 2 + channel];
            const std::uint32_t index = direction == 0
                                            ? lv2plugin::AudioInPort(controls, channel)
                                            : lv2plugin::AudioOutPort(controls, form.channels, channel);
            out << "\t] , [\n"
                << "\t\ta " << (direction == 0 ? "lv2:InputPort" : "lv2:OutputPort")
                << " , lv2:AudioPort ;\n"
                << "\t\tlv2:index " << index << " ;\n"
                << "\t\tlv2:symbol " << Quoted(names[0]) << " ;\n"
                << "\t\tlv2:name " << Quoted(names[1]) << "\n";
        }
    }
    out << "\t] .\n\n";
}

void WritePresets(std::ostream& out, const PluginForm& form) {
    const std::vector<ControlPort> ports = lv2bundle::ControlPorts(form.effect);
    const BuiltInPresetList list = BuiltInPresetsOf(form.effect);
    for (std::size_t p = 0; p < list.count; ++p) {
        const BuiltInPreset& preset = list.presets[p];
        out << Uri(lv2bundle::PresetUri(form, preset.name)) << "\n"
            << "\ta pset:Preset ;\n"
            << "\tlv2:appliesTo " << Uri(lv2bundle::FormUri(form)) << " ;\n"
            << "\trdfs:label " << Quoted(preset.name) << " ;\n"
            << "\tlv2:port ";
        for (std::size_t i = 0; i < ports.size(); ++i) {
            out << (i == 0 ? "[\n" : " , [\n") << "\t\tlv2:symbol " << Quoted(ports[i].symbol)
                << " ;\n\t\tpset:value "
                << Decimal(lv2bundle::PresetPortValue(*ports[i].setting, preset.block)) << "\n\t]";
        }
        out << " .\n\n";
    }
}

void WriteManifest(std::ostream& out) {
    for (const PluginForm& form : lv2plugin::kForms) {
        out << Uri(lv2bundle::FormUri(form)) << "\n"
            << "\ta lv2:Plugin ;\n"
            << "\tlv2:binary <" << lv2bundle::kLibraryName << "> ;\n"
            << "\trdfs:seeAlso <plugins.ttl> .\n\n";
    }
    for (const PluginForm& form : lv2plugin::kForms) {
        const BuiltInPresetList list = BuiltInPresetsOf(form.effect);
        for (std::size_t p = 0; p < list.count; ++p) {
            out << Uri(lv2bundle::PresetUri(form, list.presets[p].name)) << "\n"
                << "\ta pset:Preset ;\n"
                << "\tlv2:appliesTo " << Uri(lv2bundle::FormUri(form)) << " ;\n"
                << "\trdfs:seeAlso <presets.ttl> .\n\n";
        }
    }
}

void WritePortMap(std::ostream& out) {
    out << "// Generated by lv2/ttl_gen.cpp from the settings tables; do not edit.\n"
        << "#include \"lv2/port_map.h\"\n\nnamespace lv2plugin {\n\nnamespace {\n\n";
    for (int e = 0; e < kEffectCount; ++e) {
        const EffectTable& table = TableOf(e);
        out << "const SettingRow k" << table.name << "[] = {\n";
        std::int32_t port = 0;
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            const SettingInfo& s = table.settings[i];
            const bool hasPort = lv2bundle::HasPort(s);
            out << "    {" << s.offset << ", " << Decimal(s.minimum) << ", " << Decimal(s.maximum)
                << ", " << Decimal(s.defaultValue) << ", " << (hasPort ? port++ : -1) << ", "
                << (s.kind == SettingKind::Flag ? "true" : "false") << "},  // "
                << SettingName(s) << "\n";
        }
        out << "};\n\n";
    }
    out << "}  // namespace\n\nconst EffectRows kEffectRows[kEffectCount] = {\n";
    for (int e = 0; e < kEffectCount; ++e) {
        const EffectTable& table = TableOf(e);
        out << "    {k" << table.name << ", " << table.settingCount << ", "
            << lv2bundle::ControlPorts(table.kind).size() << ", " << table.blockSize << "},\n";
    }
    out << "};\n\nconst char* const kFormUris[kFormCount] = {\n";
    for (const PluginForm& form : lv2plugin::kForms) {
        out << "    \"" << lv2bundle::FormUri(form) << "\",\n";
    }
    out << "};\n\n}  // namespace lv2plugin\n";
}

// Symbols must be valid LV2 symbols and unique within a plug-in.
bool CheckSymbols() {
    for (int e = 0; e < kEffectCount; ++e) {
        std::set<std::string> seen = {"seed", "in", "out", "in_l", "in_r", "out_l", "out_r"};
        for (const ControlPort& port : lv2bundle::ControlPorts(TableOf(e).kind)) {
            if (port.symbol.empty() || std::isdigit(static_cast<unsigned char>(port.symbol[0])) ||
                !seen.insert(port.symbol).second) {
                std::cerr << "ttl_gen: unusable port symbol '" << port.symbol << "' for "
                          << port.name << "\n";
                return false;
            }
        }
    }
    return true;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file.flush()) {
        std::cerr << "ttl_gen: cannot write " << path << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: ttl_gen BUNDLE_DIR PORT_MAP_CPP\n";
        return 1;
    }
    if (!CheckSymbols()) return 1;
    const std::string dir = argv[1];
    std::ostringstream manifest, plugins, presets, portMap;
    manifest << kPrefixes;
    WriteManifest(manifest);
    plugins << kPrefixes;
    presets << kPrefixes;
    for (const PluginForm& form : lv2plugin::kForms) {
        WritePlugin(plugins, form);
        WritePresets(presets, form);
    }
    WritePortMap(portMap);
    const bool ok = WriteFile(dir + "/manifest.ttl", manifest.str()) &&
                    WriteFile(dir + "/plugins.ttl", plugins.str()) &&
                    WriteFile(dir + "/presets.ttl", presets.str()) &&
                    WriteFile(argv[2], portMap.str());
    return ok ? 0 : 1;
}

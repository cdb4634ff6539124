#include "tools/filter_chain.h"

#include <cmath>
#include <cstdio>

#include "tools/os.h"

#ifndef TOVANA_LIBRARY_ARCHITECTURE
#define TOVANA_LIBRARY_ARCHITECTURE ""
#endif

namespace tovana {
namespace {

// A string in PipeWire's JSON: quotes and backslashes escaped, control
// characters (which a preset name should not hold) as spaces.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string ModuleEntry(const FilterChain& chain) {
    std::string controls;
    for (const auto& [symbol, value] : chain.controls) {
        controls += "                        " + Quoted(symbol) + " = " + Number(value) + "\n";
    }
    std::string capture = "            node.name = " + Quoted(chain.nodeName + ".capture") + "\n" +
                          // Only a listener of the virtual microphone makes the source run.
                          "            node.passive = true\n";
    if (!chain.target.empty()) capture += "            target.object = " + Quoted(chain.target) + "\n";
    return "    { name = libpipewire-module-filter-chain\n"
           "      args = {\n"
           "        node.description = " + Quoted(chain.description) + "\n" +
           "        media.name = " + Quoted(chain.description) + "\n" +
           "        filter.graph = {\n"
           "            nodes = [\n"
           "                { type = lv2\n"
           "                  name = effect\n"
           "                  plugin = " + Quoted(chain.pluginUri) + "\n" +
           "                  control = {\n" + controls +
           "                  }\n"
           "                }\n"
           "            ]\n"
           "        }\n"
           "        audio.channels = 1\n"
           "        audio.position = [ MONO ]\n"
           "        capture.props = {\n" + capture +
           "        }\n"
           "        playback.props = {\n"
           "            node.name = " + Quoted(chain.nodeName) + "\n" +
           "            node.description = " + Quoted(chain.description) + "\n" +
           "            media.class = Audio/Source\n"
           "        }\n"
           "      }\n"
           "    }\n";
}

}  // namespace

std::string FilterChainDropIn(const FilterChain& chain) {
    return "# " + chain.description + ": a virtual microphone made by tovana mic.\n"
           "# Kept in ~/.config/pipewire/pipewire.conf.d/ it is there whenever PipeWire\n"
           "# runs (systemctl --user restart pipewire to take it up now).\n"
           "context.modules = [\n" + ModuleEntry(chain) + "]\n";
}

std::string FilterChainProcessConfig(const FilterChain& chain) {
    // What a client process of PipeWire needs beside the module itself.
    return "context.properties = { log.level = 2 }\n"
           "context.spa-libs = {\n"
           "    audio.convert.* = audioconvert/libspa-audioconvert\n"
           "    support.*       = support/libspa-support\n"
           "}\n"
           "context.modules = [\n"
           "    { name = libpipewire-module-rt flags = [ ifexists nofail ] }\n"
           "    { name = libpipewire-module-protocol-native }\n"
           "    { name = libpipewire-module-client-node }\n"
           "    { name = libpipewire-module-adapter }\n" +
           ModuleEntry(chain) + "]\n";
}

std::vector<std::string> Lv2SearchPath(const char* lv2Path, const char* home) {
    std::vector<std::string> folders;
    if (lv2Path != nullptr && *lv2Path != '\0') {
        std::string rest = std::string(lv2Path) + ":";
        for (std::size_t colon; (colon = rest.find(':')) != std::string::npos; rest.erase(0, colon + 1)) {
            std::string folder = rest.substr(0, colon);
            // lilv reads a leading ~ as the home folder.
            if (folder.rfind("~/", 0) == 0 && home != nullptr) folder = home + folder.substr(1);
            if (!folder.empty()) folders.push_back(folder);
        }
        return folders;
    }
    if (home != nullptr && *home != '\0') folders.push_back(os::Join(home, ".lv2"));
    const std::string architecture = TOVANA_LIBRARY_ARCHITECTURE;
    if (!architecture.empty()) folders.push_back("/usr/lib/" + architecture + "/lv2");
    folders.push_back("/usr/lib/lv2");
    folders.push_back("/usr/local/lib/lv2");
    return folders;
}

std::string FindLv2Bundle(const std::vector<std::string>& folders, const std::string& bundle) {
    for (const std::string& folder : folders) {
        const std::string path = os::Join(folder, bundle);
        if (os::IsReadable(os::Join(path, "manifest.ttl"))) return path;
    }
    return "";
}

}  // namespace tovana

// The PipeWire filter-chain of `tovana mic`: one LV2 plug-in of the bundle
// between a capture source and a virtual microphone, and where the bundle
// is found.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tovana {

struct FilterChain {
    std::string pluginUri;    // the mono form of the effect
    std::string description;  // what applications list: "Zentrix Tovana Communicator (Stormtrooper)"
    std::string nodeName;     // the virtual microphone's node.name
    std::string target;       // node.name of the source to capture; empty: the default microphone
    std::vector<std::pair<std::string, double>> controls;  // port symbol, value
};

// The module's entry, as a drop-in file for pipewire.conf.d.
std::string FilterChainDropIn(const FilterChain& chain);
// A whole configuration for a `pipewire -c FILE` process of its own.
std::string FilterChainProcessConfig(const FilterChain& chain);

// The folders lilv searches: LV2_PATH alone when it is set, else the
// user's ~/.lv2 and the system's folders. `lv2Path` and `home` may be null.
std::vector<std::string> Lv2SearchPath(const char* lv2Path, const char* home);
// The first folder holding `bundle` with a manifest; empty when none does.
std::string FindLv2Bundle(const std::vector<std::string>& folders, const std::string& bundle);

}  // namespace tovana

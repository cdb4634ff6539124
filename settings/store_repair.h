// How the registry layer mends a damaged store file, so that one bad line
// costs one preset or one key instead of the whole tree: the plug-in's
// recovery rule deletes everything once any key or value it reads is
// missing.
//
// An incomplete user preset is dropped. A last-settings key, Init and its
// "Last Active Effect" are completed with the values a first run stores,
// and created when missing; so are the presets keys, empty.
#pragma once

#include <vector>

#include "platform/registry.h"

namespace store {

// The rules, from the settings tables and the string table.
std::vector<platform::RegistryKeyRule> RepairRules();

// Hands the rules to the registry layer. The plug-in does so before it
// first reads the store; a host that reads the store itself does so before
// its first registry call.
void InstallRepairRules();

}  // namespace store

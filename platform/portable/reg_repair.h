// Mending the tree read from a damaged registry file, and the one line that
// tells the user what was read, what was lost and what became of the file.
#pragma once

#include <string>
#include <vector>

#include "platform/portable/reg_names.h"
#include "platform/registry.h"

namespace platform::reg {

void SetRepairRules(std::vector<RegistryKeyRule> rules);

// What the salvage and the rules took out of a tree or put into it, each
// entry a key by the name the user knows it by, with why.
struct Mending {
    std::vector<std::string> dropped;
    std::vector<std::string> completed;
    std::size_t unlisted = 0;  // dropped keys beyond those listed
};

// Applies the repair rules to `top`, the hives a salvaging read kept, and
// names every section `report` dropped and every key the rules dropped or
// completed.
Mending Mend(Key* top, const SalvageReport& report);

// "The registry file F could not be read whole (line 14: bad hex data);
// dropped: ...; completed: ...; " up to what became of the file, which the
// caller appends.
std::string DescribeDamage(const std::string& file, const SalvageReport& report,
                           const Mending& mending);

// A name from a file fit for a one-line message: control characters
// escaped, and cut short after `longest` bytes.
std::string Printable(const std::string& name, std::size_t longest = 160);

}  // namespace platform::reg

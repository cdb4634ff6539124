// Small readers and writers of registry values for the registry tests, on
// any backend.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace registry_values {

inline void SetDouble(platform::RegKey key, const std::string& name, double value) {
    EXPECT_EQ(platform::RegSetValue(key, name, platform::kRegNone, &value, sizeof value), platform::kErrorSuccess)
        << name;
}

inline double GetDouble(platform::RegKey key, const std::string& name) {
    double value = -1.0;
    std::uint32_t size = sizeof value;
    EXPECT_EQ(platform::RegQueryValue(key, name, nullptr, &value, &size), platform::kErrorSuccess) << name;
    return value;
}

// The names of the subkeys of `key`, in the order the registry gives them.
inline std::vector<std::string> Subkeys(platform::RegKey key) {
    std::vector<std::string> names;
    char name[256];
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t length = sizeof name;
        const long error = platform::RegEnumKey(key, i, name, &length);
        if (error != platform::kErrorSuccess) {
            EXPECT_EQ(error, platform::kErrorNoMoreItems);
            break;
        }
        EXPECT_EQ(length, std::strlen(name));
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace registry_values

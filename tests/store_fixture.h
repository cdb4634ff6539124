// A private registry file per test, and the process-wide settings record
// reset around each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "platform/registry.h"
#include "settings/effect_settings.h"

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("tovana-store-" + std::string(info->test_suite_name()) + "-" + info->name() +
                   "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        platform::SetRegistryFilePath((folder_ / "registry.reg").string());
        platform::testing::ClearRegistryFaults();
        // Durability is the registry's own tests' business; here every
        // write would wait for the disk twice.
        platform::testing::SetRegistryFlush(false);
        std::memset(&TheEffectSettings(), 0, sizeof(EffectSettings));
    }

    void TearDown() override {
        platform::testing::ClearRegistryFaults();
        platform::testing::SetRegistryFlush(true);
        platform::SetRegistryFilePath("");
        std::memset(&TheEffectSettings(), 0, sizeof(EffectSettings));
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    const std::filesystem::path& folder() const { return folder_; }

    static std::string Root() { return "Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana"; }

    static bool KeyExists(const std::string& path) {
        platform::RegKey key = nullptr;
        if (platform::RegOpenKey(platform::CurrentUserKey(), path, &key) != 0) return false;
        platform::RegCloseKey(key);
        return true;
    }

    // The stored double of a value, with its type and size checked.
    static double Stored(const std::string& keyPath, const std::string& name) {
        platform::RegKey key = nullptr;
        EXPECT_EQ(platform::RegOpenKey(platform::CurrentUserKey(), keyPath, &key), 0) << keyPath;
        if (key == nullptr) return -12345.0;
        double value = -12345.0;
        std::uint32_t type = 99;
        std::uint32_t size = sizeof value;
        EXPECT_EQ(platform::RegQueryValue(key, name, &type, &value, &size), 0) << keyPath << "\\" << name;
        EXPECT_EQ(type, platform::kRegNone) << name;
        EXPECT_EQ(size, 8u) << name;
        platform::RegCloseKey(key);
        return value;
    }

    static void Store(const std::string& keyPath, const std::string& name, const void* data,
                      std::uint32_t size) {
        platform::RegKey key = nullptr;
        ASSERT_EQ(platform::RegCreateKey(platform::CurrentUserKey(), keyPath, &key), 0);
        ASSERT_EQ(platform::RegSetValue(key, name, platform::kRegNone, data, size), 0);
        platform::RegCloseKey(key);
    }

    static void StoreDouble(const std::string& keyPath, const std::string& name, double value) {
        Store(keyPath, name, &value, sizeof value);
    }

    static void RemoveValue(const std::string& keyPath, const std::string& name) {
        platform::RegKey key = nullptr;
        ASSERT_EQ(platform::RegOpenKey(platform::CurrentUserKey(), keyPath, &key), 0);
        ASSERT_EQ(platform::RegDeleteValue(key, name), 0);
        platform::RegCloseKey(key);
    }

    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path folder_;
};

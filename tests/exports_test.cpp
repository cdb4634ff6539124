// The plug-in as the editor sees it: loaded with dlopen, reached only
// through its five exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <cstdio>
#include <set>
#include <string>

#include "host/exports.h"
#include "tests/test_host.h"

namespace {

class LoadedPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(TOVANA_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        query = reinterpret_cast<decltype(&QueryXfm)>(dlsym(handle_, "QueryXfm"));
        init = reinterpret_cast<decltype(&XfmInit)>(dlsym(handle_, "XfmInit"));
        setup = reinterpret_cast<decltype(&XfmSetup)>(dlsym(handle_, "XfmSetup"));
        process = reinterpret_cast<decltype(&XfmDo)>(dlsym(handle_, "XfmDo"));
        destroy = reinterpret_cast<decltype(&XfmDestroy)>(dlsym(handle_, "XfmDestroy"));
        ASSERT_TRUE(query && init && setup && process && destroy);
    }
    void TearDown() override {
        if (handle_ != nullptr) dlclose(handle_);
    }

    std::uint16_t InstanceWord(const TestHost& host) {
        auto* bytes = static_cast<unsigned char*>(platform::GlobalLock(host.record.instanceMemory));
        std::uint16_t word = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
        platform::GlobalUnlock(host.record.instanceMemory);
        return word;
    }

    void* handle_ = nullptr;
    decltype(&QueryXfm) query = nullptr;
    decltype(&XfmInit) init = nullptr;
    decltype(&XfmSetup) setup = nullptr;
    decltype(&XfmDo) process = nullptr;
    decltype(&XfmDestroy) destroy = nullptr;
};

TEST_F(LoadedPlugin, QueryWritesItsFieldsAndNothingElse) {
    PluginInfoRecord info;
    std::memset(info.bytes, 0xAB, sizeof info.bytes);
    EXPECT_EQ(query(&info), 0x0480);

    auto text = [&](std::size_t offset) { return std::string(reinterpret_cast<char*>(info.bytes + offset)); };
    EXPECT_EQ(text(0), "Zentrix Tovana");
    EXPECT_EQ(text(120), "Add Zentrix Tovana");
    EXPECT_EQ(text(200), "g");
    EXPECT_EQ(text(248), "y");
    const std::string copyright = text(40);
    EXPECT_NE(copyright.find("Kestrum"), std::string::npos);
    EXPECT_EQ(info.bytes[190] | info.bytes[191] << 8, 12);
    EXPECT_EQ(info.bytes[192], 29);
    EXPECT_EQ(info.bytes[196], 2);
    for (std::size_t i : {193, 194, 195, 197, 198, 199}) EXPECT_EQ(info.bytes[i], 0) << i;

    // Every byte outside the written fields keeps the host's value.
    auto written = [&](std::size_t i) {
        auto inText = [&](std::size_t offset, std::size_t length) {
            return i >= offset && i <= offset + length;  // text plus its NUL
        };
        return inText(0, 14) || inText(40, copyright.size()) || inText(120, 18) ||
               (i >= 190 && i < 200) || inText(200, 1) || inText(248, 1);
    };
    for (std::size_t i = 0; i < sizeof info.bytes; ++i) {
        if (!written(i)) {
            EXPECT_EQ(info.bytes[i], 0xAB) << "byte " << i;
        }
    }
}

TEST_F(LoadedPlugin, InitKeepsTheHandleAndDestroyGivesItBack) {
    TestHost host({}, 1, 44100);
    host.handleToGive = 0xABCD1234;
    ASSERT_EQ(init(&host.record), 1);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].kind, HostCall::RequestHandle);
    EXPECT_EQ(host.calls[0].text, "0,16384,0,16384,0,16384");
    EXPECT_EQ(InstanceWord(host), 0x1234);

    ASSERT_EQ(destroy(&host.record), 1);
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[1].kind, HostCall::ReleaseHandle);
    EXPECT_EQ(host.calls[1].first, 0x1234u);
    EXPECT_EQ(InstanceWord(host), 0xFFFF);
}

TEST_F(LoadedPlugin, DestroyWithoutHandleCallsNothing) {
    TestHost host({}, 1, 44100);
    ASSERT_EQ(destroy(&host.record), 1);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(InstanceWord(host), 0);
}

TEST_F(LoadedPlugin, UnlockableInstanceMemoryFailsWithoutCallbacks) {
    TestHost host({}, 1, 44100);
    platform::testing::FailNthLock(1);
    EXPECT_EQ(init(&host.record), 0);
    platform::testing::FailNthLock(1);
    EXPECT_EQ(destroy(&host.record), 0);
    platform::testing::ClearMemoryFaults();
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(LoadedPlugin, ProcessingBeforeAnySetupLeavesAudioUnchanged) {
    // At load every setting is zero: the Alienator with a 0 dB squelch,
    // which 16-bit audio never exceeds.
    std::vector<std::int16_t> audio;
    for (int i = 0; i < 20000; ++i) audio.push_back(static_cast<std::int16_t>((i * 7919) % 65536 - 32768));
    TestHost host(audio, 2, 44100);
    EXPECT_EQ(process(&host.record), 0);
    EXPECT_EQ(host.audio, audio);
    EXPECT_EQ(host.calls.front().text, "Applying Alienator...");
}

TEST(PluginFile, ExportsExactlyTheFiveEntryPoints) {
    // Read the dynamic symbol table with the same loader view the editor
    // has: every defined global function symbol must be one of the five.
    std::string command = std::string("nm -D --defined-only ") + TOVANA_PLUGIN_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> functions;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3 &&
            (std::strcmp(type, "T") == 0 || std::strcmp(type, "W") == 0)) {
            functions.insert(name);
        }
    }
    pclose(pipe);
    EXPECT_EQ(functions, (std::set<std::string>{"QueryXfm", "XfmDestroy", "XfmDo", "XfmInit",
                                                "XfmSetup"}));
}

}  // namespace

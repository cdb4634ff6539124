// tovana end to end: the real executable loading the real plug-in, on small
// generated files, each test with a store of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/skip_or_fail.h"

extern char** environ;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class TovanaCli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovana-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        registry_ = dir_ + "/registry.reg";
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // Starts tovana with the test's own store; output goes to files.
    pid_t Start(const std::vector<std::string>& args, const std::string& tag = "run") {
        std::vector<std::string> all = {TOVANA_EXE, "--plugin", TOVANA_PLUGIN_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = {"TOVANA_REGISTRY=" + registry_};
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("TOVANA_", 0) != 0) env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, Path(tag + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, Path(tag + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t child = -1;
        posix_spawn(&child, TOVANA_EXE, &files, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&files);
        return child;
    }
    Result Finish(pid_t child, const std::string& tag = "run") {
        Result result;
        int status = 0;
        waitpid(child, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        result.out = ReadFile(Path(tag + ".out"));
        result.err = ReadFile(Path(tag + ".err"));
        return result;
    }
    Result Run(const std::vector<std::string>& args) { return Finish(Start(args)); }

    // A voice-like test signal: a few harmonics with a syllable envelope.
    void MakeAudio(const std::string& name, int channels, int frames, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
        SF_INFO info{};
        info.channels = channels;
        info.samplerate = 22050;
        info.format = format;
        SNDFILE* file = sf_open(Path(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        std::vector<short> block(static_cast<std::size_t>(channels) * 1024);
        for (int start = 0; start < frames; start += 1024) {
            const int n = std::min(1024, frames - start);
            for (int i = 0; i < n; ++i) {
                const double t = (start + i) / 22050.0;
                const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 3 * t);
                const double voice = std::sin(2 * M_PI * 140 * t) + 0.5 * std::sin(2 * M_PI * 280 * t) +
                                     0.25 * std::sin(2 * M_PI * 1130 * t);
                for (int c = 0; c < channels; ++c) {
                    block[static_cast<std::size_t>(i * channels + c)] =
                        static_cast<short>(9000 * envelope * voice * (c == 0 ? 1.0 : 0.8));
                }
            }
            sf_writef_short(file, block.data(), n);
        }
        sf_close(file);
    }
    std::vector<short> Samples(const std::string& name) {
        SF_INFO info{};
        SNDFILE* file = sf_open(Path(name).c_str(), SFM_READ, &info);
        if (file == nullptr) return {};
        std::vector<short> samples(static_cast<std::size_t>(info.frames * info.channels));
        sf_readf_short(file, samples.data(), info.frames);
        sf_close(file);
        return samples;
    }

    // XfmSetup opens the real dialog once the plug-in's user interface is
    // built; until then every run stops after setup.
    void RequireDialog() {
        static int available = -1;
        if (available < 0) {
            MakeAudio("probe.wav", 1, 2000);
            const Result probe = Run({"apply", "-q", Path("probe.wav"), Path("probe-out.wav")});
            available = probe.status != 0 && probe.err.find("was not confirmed") != std::string::npos ? 0 : 1;
            std::remove(registry_.c_str());
        }
        if (available == 0) TOVANA_SKIP_OR_FAIL("XfmSetup does not open the plug-in dialog (it returns 0)");
    }

    std::string dir_;
    std::string registry_;
};

TEST_F(TovanaCli, UnreadableInputsFailWithStatusTwoAndWriteNothing) {
    MakeAudio("six.wav", 6, 1000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    { std::ofstream(Path("text.wav")) << "not audio at all\n"; }
    struct Case {
        std::string input;
        const char* mentions;
    };
    const Case cases[] = {
        {Path("missing.wav"), "cannot open"},
        {Path("text.wav"), "as audio"},
        {Path("six.wav"), "6 channels"},
    };
    for (const Case& c : cases) {
        const Result result = Run({"apply", "--effect", "alienator", c.input, Path("out.wav")});
        EXPECT_EQ(result.status, 2) << c.input << ": " << result.err;
        EXPECT_NE(result.err.find(c.mentions), std::string::npos) << result.err;
        EXPECT_FALSE(Exists(Path("out.wav")));
    }
    EXPECT_FALSE(Exists(registry_)) << "a failed apply must not touch the store";
}

TEST_F(TovanaCli, CommandLineProblemsFailWithStatusOneAndChangeNothing) {
    MakeAudio("in.wav", 2, 3000);
    struct Case {
        std::vector<std::string> options;
        const char* mentions;
    };
    const Case cases[] = {
        {{"--effect", "communicator", "--preset", "Darth"}, "Stormtrooper"},
        {{"--effect", "alienator", "--set", "Carrier Freq=9000"}, "5 to 5000"},
        {{"--effect", "communicator", "--preset", "Shuttle Comm", "--set", "Frequency=2000"}, "must not be below"},
        {{"--effect", "vocoder"}, "cylonator"},
        {{"--wet", "120"}, "0 to 100"},
        {{"--selection", "0:3000"}, "frames 0 to 2999"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"apply"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(Path("in.wav"));
        args.push_back(Path("out.wav"));
        const Result result = Run(args);
        EXPECT_EQ(result.status, 1) << c.mentions << ": " << result.err;
        EXPECT_NE(result.err.find(c.mentions), std::string::npos) << result.err;
        EXPECT_FALSE(Exists(Path("out.wav")));
    }
    const Result format = Run({"apply", Path("in.wav"), Path("out.xyz")});
    EXPECT_EQ(format.status, 1);
    EXPECT_NE(format.err.find("wav"), std::string::npos) << format.err;
    EXPECT_FALSE(Exists(registry_));
}

TEST_F(TovanaCli, UnwritableOutputFailsBeforeTheStoreIsTouched) {
    MakeAudio("in.wav", 1, 3000);
    const Result result = Run({"apply", "--effect", "deepenator", Path("in.wav"), Path("no/such/dir/out.wav")});
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find("cannot write"), std::string::npos) << result.err;
    EXPECT_FALSE(Exists(registry_));
}

TEST_F(TovanaCli, DamagedPresetFilesAreRefusedWhole) {
    { std::ofstream(Path("junk.reg")) << "this is no registry export\n"; }
    {
        std::ofstream file(Path("short.reg"));
        file << "Windows Registry Editor Version 5.00\n\n"
                "[HKEY_CURRENT_USER\\Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana\\Cylonator Presets\\Half]\n"
                "\"Wet Mix\"=hex(0):00,00,00,00,00,00,59,40\n";
    }
    for (const char* name : {"junk.reg", "short.reg", "absent.reg"}) {
        const Result result = Run({"presets", "import", Path(name)});
        EXPECT_EQ(result.status, 2) << name;
        EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(Exists(registry_));
}

TEST_F(TovanaCli, ListsBuiltInPresetsInListOrderAndShowsDefaults) {
    const Result presets = Run({"presets", "alienator"});
    ASSERT_EQ(presets.status, 0) << presets.err;
    const char* order[] = {"AM Radio Distress", "Bounty Hunter", "Computer", "Secret Agent", "Service Droid",
                           "Star Fighter Comm Traffic"};
    std::size_t at = 0;
    for (const char* name : order) {
        const std::size_t found = presets.out.find(name, at);
        ASSERT_NE(found, std::string::npos) << name << " missing or out of order:\n" << presets.out;
        at = found;
    }
    EXPECT_EQ(Run({"presets", "robot"}).status, 1);

    const Result settings = Run({"settings"});
    ASSERT_EQ(settings.status, 0) << settings.err;
    EXPECT_NE(settings.out.find("nothing stored yet"), std::string::npos);
    EXPECT_NE(settings.out.find("Fullness                     5500"), std::string::npos) << settings.out;
    EXPECT_FALSE(Exists(registry_));
}

TEST_F(TovanaCli, HelpVersionAndInfo) {
    for (const char* command : {"apply", "presets", "settings", "info", "demo"}) {
        const Result help = Run({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("usage: tovana"), std::string::npos) << command;
    }
    EXPECT_EQ(Run({"--version"}).out.rfind("tovana ", 0), 0u);
    EXPECT_EQ(Run({"frobnicate"}).status, 1);
    const Result info = Run({"info"});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("Zentrix Tovana"), std::string::npos);
    EXPECT_NE(info.out.find("0x0480"), std::string::npos);
}

TEST_F(TovanaCli, SeedMakesRunsByteIdenticalAndEveryOptionReachesThePlugin) {
    RequireDialog();
    MakeAudio("in.wav", 2, 30000);
    auto apply = [&](std::vector<std::string> options, const std::string& out) {
        std::vector<std::string> args = {"apply", "-q", "--seed", "1234"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(Path("in.wav"));
        args.push_back(Path(out));
        const Result result = Run(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return ReadFile(Path(out));
    };
    const std::vector<std::string> computer = {"--effect", "alienator", "--preset", "Computer"};
    const std::string first = apply(computer, "a.wav");
    EXPECT_EQ(first, apply(computer, "b.wav"));
    std::vector<std::string> otherCarrier = computer;
    otherCarrier.insert(otherCarrier.end(), {"--set", "Carrier Freq=900"});
    EXPECT_NE(first, apply(otherCarrier, "c.wav"));
    std::vector<std::string> mixed = computer;
    mixed.insert(mixed.end(), {"--wet", "50", "--dry", "50"});
    EXPECT_NE(first, apply(mixed, "d.wav"));
    const std::string seeded = ReadFile(Path("a.wav"));
    const Result other = Run({"apply", "-q", "--seed", "99", "--effect", "alienator", "--preset", "Computer",
                              Path("in.wav"), Path("e.wav")});
    EXPECT_EQ(other.status, 0);
    EXPECT_NE(seeded, ReadFile(Path("e.wav"))) << "the hopping is random: another seed, other bytes";

    // Every effect gives its own bytes.
    std::vector<std::string> outputs;
    for (const char* effect : {"alienator", "communicator", "deepenator", "cylonator"}) {
        outputs.push_back(apply({"--effect", effect}, std::string(effect) + ".wav"));
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            EXPECT_NE(outputs[i], outputs[j]) << i << " " << j;
        }
    }
}

TEST_F(TovanaCli, SelectionLeavesTheOutsideUntouched) {
    RequireDialog();
    MakeAudio("in.wav", 2, 20000);
    const Result result = Run({"apply", "-q", "--seed", "5", "--effect", "cylonator", "--preset", "Battle Droid",
                               "--selection", "5000:14999", Path("in.wav"), Path("out.wav")});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<short> in = Samples("in.wav");
    const std::vector<short> out = Samples("out.wav");
    ASSERT_EQ(in.size(), out.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (i < 5000 * 2 || i >= 15000 * 2) {
            ASSERT_EQ(in[i], out[i]) << "sample " << i;
        }
    }
    EXPECT_NE(std::vector<short>(in.begin() + 10000, in.begin() + 30000),
              std::vector<short>(out.begin() + 10000, out.begin() + 30000));
}

TEST_F(TovanaCli, SettingsGivenToApplyAreWhatSettingsShows) {
    RequireDialog();
    MakeAudio("in.wav", 1, 4000);
    const Result result = Run({"apply", "-q", "--effect", "communicator", "--preset", "Stormtrooper", "--set",
                               "Frequency=1200", "--set", "Aliasing=1", "--wet", "60", "--dry", "30",
                               Path("in.wav"), Path("out.wav")});
    ASSERT_EQ(result.status, 0) << result.err;
    const Result settings = Run({"settings"});
    ASSERT_EQ(settings.status, 0) << settings.err;
    EXPECT_NE(settings.out.find("active effect: Communicator"), std::string::npos) << settings.out;
    EXPECT_NE(settings.out.find("mix: wet 60 %, dry 30 %, not linked"), std::string::npos) << settings.out;
    EXPECT_NE(settings.out.find("Fullness                     2600"), std::string::npos) << settings.out;
    EXPECT_NE(settings.out.find("Frequency                    1200"), std::string::npos) << settings.out;
    EXPECT_NE(settings.out.find("Aliasing                     1"), std::string::npos) << settings.out;
    EXPECT_NE(settings.out.find("Duration                     200"), std::string::npos) << settings.out;

    // Without effect options the stored settings run again: same seed, same bytes.
    ASSERT_EQ(Run({"apply", "-q", "--seed", "3", Path("in.wav"), Path("again1.wav")}).status, 0);
    ASSERT_EQ(Run({"apply", "-q", "--seed", "3", "--effect", "communicator", Path("in.wav"), Path("again2.wav")})
                  .status,
              0);
    EXPECT_EQ(ReadFile(Path("again1.wav")), ReadFile(Path("again2.wav")));
}

TEST_F(TovanaCli, GreyedOutControlsAreReachedAndTheirBoxesRestored) {
    RequireDialog();
    MakeAudio("in.wav", 1, 3000);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "alienator", "--preset", "Bounty Hunter", "--set", "Hop Period=200",
                   "--set", "Smooth Enabled=1", Path("in.wav"), Path("a.wav")})
                  .status,
              0);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "cylonator", "--preset", "Alien Whisper", "--set", "Pitch Left=30",
                   Path("in.wav"), Path("c.wav")})
                  .status,
              0);
    const std::string shown = Run({"settings"}).out;
    for (const char* line : {"Hop Period                   200", "Hop Enabled                  0",
                             "Smooth Enabled               1", "Pitch Left                   30",
                             "Noise Left Enabled           1"}) {
        EXPECT_NE(shown.find(line), std::string::npos) << line << "\n" << shown;
    }
}

TEST_F(TovanaCli, CancelLeavesNoOutput) {
    RequireDialog();
    MakeAudio("long.wav", 2, 22050 * 120);
    const pid_t child = Start({"apply", "-q", "--effect", "deepenator", "--preset", "Monster", Path("long.wav"),
                               Path("out.wav")});
    // Wait until the temporary output exists, then interrupt.
    for (int i = 0; i < 5000; ++i) {
        if (std::system(("ls -a '" + dir_ + "' | grep -q '^.out.wav.tovana-'").c_str()) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGINT);
    const Result result = Finish(child);
    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_FALSE(Exists(Path("out.wav")));
    EXPECT_NE(system(("ls -a '" + dir_ + "' | grep -q tovana-").c_str()), 0) << "temporary file left behind";
}

TEST_F(TovanaCli, BatchProcessesTheRestWhenOneFileIsBroken) {
    RequireDialog();
    MakeAudio("one.wav", 1, 5000);
    MakeAudio("two.wav", 2, 5000);
    { std::ofstream(Path("broken.wav")) << "RIFF nonsense"; }
    const Result result = Run({"apply", "-q", "-j", "2", "--seed", "8", "--effect", "deepenator", "--preset",
                               "Dark Lord", "-o", Path("out"), Path("one.wav"), Path("broken.wav"), Path("two.wav")});
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find("broken.wav"), std::string::npos) << result.err;
    EXPECT_TRUE(Exists(Path("out/one.wav")));
    EXPECT_TRUE(Exists(Path("out/two.wav")));
    EXPECT_FALSE(Exists(Path("out/broken.wav")));
    // Each file ran in a fresh plug-in process: the same as alone.
    ASSERT_EQ(Run({"apply", "-q", "--seed", "8", Path("two.wav"), Path("alone.wav")}).status, 0);
    EXPECT_EQ(ReadFile(Path("out/two.wav")), ReadFile(Path("alone.wav")));
}

TEST_F(TovanaCli, ADamagedStoreIsReportedAndRebuiltForTheNextRun) {
    RequireDialog();
    MakeAudio("in.wav", 1, 4000);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "alienator", Path("in.wav"), Path("first.wav")}).status, 0);
    // Take the Alienator's stored Squelch away.
    std::string store = ReadFile(registry_);
    const std::size_t section = store.find("Last Alienator Settings]");
    ASSERT_NE(section, std::string::npos) << store;
    const std::size_t line = store.find("\"Squelch\"", section);
    ASSERT_NE(line, std::string::npos);
    store.erase(line, store.find('\n', line) + 1 - line);
    { std::ofstream(registry_, std::ios::binary | std::ios::trunc) << store; }

    const Result damaged = Run({"apply", "-q", "--effect", "alienator", Path("in.wav"), Path("out.wav")});
    EXPECT_EQ(damaged.status, 2) << damaged.err;
    EXPECT_NE(damaged.err.find("[Zentrix CoolEdit Plugin Tovana: Registry Read Error] The plugin could not find "
                               "the Squelch registry key."),
              std::string::npos)
        << damaged.err;
    EXPECT_FALSE(Exists(Path("out.wav")));
    const Result next = Run({"apply", "-q", "--effect", "alienator", Path("in.wav"), Path("out.wav")});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_TRUE(Exists(Path("out.wav")));
}

TEST_F(TovanaCli, OtherSampleFormatsAreConvertedAndOutputMayBeInput) {
    RequireDialog();
    MakeAudio("deep.wav", 2, 6000, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    const Result converted = Run({"apply", "--seed", "4", "--effect", "communicator", Path("deep.wav"),
                                  Path("out.flac")});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_NE(converted.err.find("converting to 16-bit"), std::string::npos) << converted.err;
    SF_INFO info{};
    SNDFILE* file = sf_open(Path("out.flac").c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    sf_close(file);
    EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.frames, 6000);

    MakeAudio("same.wav", 1, 6000);
    ASSERT_EQ(Run({"apply", "-q", "--seed", "4", Path("same.wav"), Path("apart.wav")}).status, 0);
    ASSERT_EQ(Run({"apply", "-q", "--seed", "4", Path("same.wav"), Path("same.wav")}).status, 0);
    EXPECT_EQ(ReadFile(Path("same.wav")), ReadFile(Path("apart.wav")));
}

TEST_F(TovanaCli, PresetsTravelThroughExportAndImport) {
    RequireDialog();
    const std::string file = Path("shared.reg");
    {
        std::ofstream out(file);
        out << "Windows Registry Editor Version 5.00\n\n"
               "[HKEY_CURRENT_USER\\Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana\\Deepenator Presets\\Giant]\n";
        const char* names[] = {"Wet Mix", "Dry Mix", "Mix Linked", "Reverb Delay Left", "Reverb Power Left",
                               "Comb Delay Left", "Pitch Scale Left", "Reverb Delay Right", "Reverb Power Right",
                               "Comb Delay Right", "Pitch Scale Right", "Random Pitch Scale Enabled",
                               "Random Reverb Delay Enabled"};
        const double values[] = {100, 0, 1, 300, 50, 20, -7, 310, 55, 21, -7, 0, 0};
        for (std::size_t i = 0; i < 13; ++i) {
            unsigned char bytes[8];
            std::memcpy(bytes, &values[i], 8);
            char hex[64];
            std::snprintf(hex, sizeof hex, "%02x,%02x,%02x,%02x,%02x,%02x,%02x,%02x", bytes[0], bytes[1], bytes[2],
                          bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
            out << "\"" << names[i] << "\"=hex(0):" << hex << "\n";
        }
        out << "\n[HKEY_CURRENT_USER\\Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana\\Deepenator Presets\\Monster]\n";
        for (std::size_t i = 0; i < 13; ++i) out << "\"" << names[i] << "\"=hex(0):00,00,00,00,00,00,00,00\n";
    }
    const Result imported = Run({"presets", "import", file});
    EXPECT_EQ(imported.status, 2) << "the built-in name is refused";
    EXPECT_NE(imported.out.find("added Deepenator preset 'Giant'"), std::string::npos) << imported.out;
    EXPECT_NE(imported.err.find("Monster"), std::string::npos) << imported.err;
    EXPECT_NE(Run({"presets", "deepenator"}).out.find("Giant"), std::string::npos);
    EXPECT_EQ(Run({"presets", "import", file}).out.find("replaced Deepenator preset 'Giant'") != std::string::npos,
              true);

    MakeAudio("in.wav", 1, 4000);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "deepenator", "--preset", "Giant", Path("in.wav"), Path("o.wav")})
                  .status,
              0);
    const Result settings = Run({"settings"});
    EXPECT_NE(settings.out.find("Pitch Scale Left             -7"), std::string::npos) << settings.out;

    const Result exported = Run({"presets", "export", Path("back.reg"), "deepenator", "Giant"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(ReadFile(Path("back.reg")).find("Deepenator Presets\\Giant]"), std::string::npos);
    EXPECT_EQ(Run({"presets", "export", Path("x.reg"), "deepenator", "Monster"}).status, 1);
}

}  // namespace

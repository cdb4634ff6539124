// tovana end to end: the real executable loading the real plug-in, on small
// generated files, each test with a store of its own.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/tovana_cli_fixture.h"

namespace {

using namespace tovana_cli;

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

// Libraries are looked for beside tovana and in the system's places, never
// in the folder it runs in: files planted there under the names of the
// libraries it and the plug-in need are not loaded.
TEST_F(TovanaCli, LibrariesInTheCurrentFolderAreNotLoaded) {
    RequireDialog();
    for (const char* name : {"libsndfile.so.1", "libstdc++.so.6", "libm.so.6", "libc.so.6"}) {
        std::ofstream(Path(name)) << "not a library\n";
    }
    MakeAudio("in.wav", 1, 2000);
    const std::string command = "cd '" + dir_ + "' && TOVANA_REGISTRY=registry.reg '" + TOVANA_EXE + "' --plugin '" +
                                TOVANA_PLUGIN_PATH + "' apply -q in.wav out.wav 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(Exists(Path("out.wav")));
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
    // Giant, and with `monster` a preset under a built-in name after it.
    auto write = [&](const std::string& file, bool monster) {
        std::ofstream out(file);
        out << "Windows Registry Editor Version 5.00\n\n"
               "[HKEY_CURRENT_USER\\Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana\\Deepenator Presets\\Giant]\n";
        const char* names[] = {"Wet Mix", "Dry Mix", "Mix Linked", "Reverb Delay Left", "Reverb Power Left",
                               "Comb Delay Left", "Pitch Scale Left", "Reverb Delay Right", "Reverb Power Right",
                               "Comb Delay Right", "Pitch Scale Right", "Random Pitch Scale Enabled",
                               "Random Reverb Delay Enabled"};
        const double values[] = {100, 0, 1, 300, 50, 20, -7, 310, 55, 21, -7, 0, 0};
        for (int preset = 0; preset < (monster ? 2 : 1); ++preset) {
            if (preset == 1) {
                out << "\n[HKEY_CURRENT_USER\\Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana\\Deepenator "
                       "Presets\\Monster]\n";
            }
            for (std::size_t i = 0; i < 13; ++i) {
                unsigned char bytes[8];
                std::memcpy(bytes, &values[i], 8);
                char hex[64];
                std::snprintf(hex, sizeof hex, "%02x,%02x,%02x,%02x,%02x,%02x,%02x,%02x", bytes[0], bytes[1],
                              bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
                out << "\"" << names[i] << "\"=hex(0):" << hex << "\n";
            }
        }
    };
    const std::string file = Path("shared.reg");
    write(Path("with-monster.reg"), true);
    const Result refused = Run({"presets", "import", Path("with-monster.reg")});
    EXPECT_EQ(refused.status, 2) << "the built-in name refuses the whole file";
    EXPECT_NE(refused.err.find("line 18: the Deepenator preset 'Monster' has the name of a built-in preset"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("nothing was imported"), std::string::npos) << refused.err;
    EXPECT_EQ(Run({"presets", "deepenator"}).out.find("Giant"), std::string::npos);

    write(file, false);
    const Result imported = Run({"presets", "import", file});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("added Deepenator preset 'Giant'"), std::string::npos) << imported.out;
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

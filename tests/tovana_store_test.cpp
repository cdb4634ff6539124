// tovana and the store end to end: what it says about a store it cannot
// use, how imports land, and what a killed run leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "settings/setting_tables.h"
#include "tests/tovana_cli_fixture.h"

namespace {

using namespace tovana_cli;

std::string Hex(double value) {
    unsigned char bytes[8];
    std::memcpy(bytes, &value, 8);
    std::string text = "hex(0):";
    for (int i = 0; i < 8; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", bytes[i]);
        text += byte;
    }
    return text;
}

// A whole preset of `effect` with its defaults and `Wet Mix` = `wet`.
std::string PresetSection(int effect, const std::string& name, double wet = 50) {
    const EffectTable& table = TableOf(effect);
    std::string text = "[HKEY_CURRENT_USER\\Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana\\" +
                       std::string(table.name) + " Presets\\" + name + "]\n";
    for (std::size_t r = 1; r < table.settingCount; ++r) {
        const std::string setting = SettingName(table.settings[r]);
        text += "\"" + setting + "\"=" + Hex(setting == "Wet Mix" ? wet : table.settings[r].defaultValue) + "\n";
    }
    return text + "\n";
}

const char kHeader[] = "Windows Registry Editor Version 5.00\n\n";

class TovanaStore : public TovanaCli {
protected:
    // A store the plug-in made, holding the presets of `file`.
    void ImportInto(const std::string& file, const std::string& text) {
        std::ofstream(Path(file), std::ios::binary) << kHeader << text;
        const Result imported = Run({"presets", "import", Path(file)});
        ASSERT_EQ(imported.status, 0) << imported.err;
    }
    std::vector<std::string> ErrLines(const Result& result) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < result.err.size()) {
            const std::size_t end = result.err.find('\n', start);
            lines.push_back(result.err.substr(start, end - start));
            start = end == std::string::npos ? result.err.size() : end + 1;
        }
        return lines;
    }
};

TEST_F(TovanaStore, AStoreThatCannotBeReadStopsEveryCommandThatNeedsIt) {
    MakeAudio("in.wav", 1, 2000);
    std::ofstream(Path("one.reg")) << kHeader << PresetSection(0, "One");
    ASSERT_EQ(mkdir(registry_.c_str(), 0700), 0);
    const std::vector<std::vector<std::string>> commands = {
        {"settings"},
        {"presets"},
        {"presets", "export", Path("out.reg")},
        {"presets", "import", Path("one.reg")},
        {"apply", "--effect", "alienator", Path("in.wav"), Path("out.wav")},
        {"apply", "-o", Path("outdir"), Path("in.wav")},
        {"setup"},
    };
    for (const auto& command : commands) {
        const Result result = Run(command);
        EXPECT_EQ(result.status, 2) << command[0] << ": " << result.err;
        EXPECT_EQ(result.err.rfind("tovana: cannot read the store " + registry_ + ": it is a directory", 0), 0u)
            << command[0] << ": " << result.err;
        EXPECT_EQ(ErrLines(result).size(), 1u) << result.err;
    }
    EXPECT_FALSE(Exists(Path("out.wav")));
    EXPECT_FALSE(Exists(Path("out.reg")));
}

// Each way a file gets damaged: one line from each command, a reading
// command leaves the file where it is, the next change keeps it aside.
TEST_F(TovanaStore, ADamagedFileIsToldInOneLineAndKeptAside) {
    RequireDialog();
    ImportInto("two.reg", PresetSection(0, "First") + PresetSection(0, "Second"));
    MakeAudio("in.wav", 1, 2000);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "alienator", Path("in.wav"), Path("a.wav")}).status, 0);
    const std::string good = ReadFile(registry_);
    const std::size_t second = good.find("Alienator Presets\\Second]");
    ASSERT_NE(second, std::string::npos);
    std::string flipped = good;
    flipped[flipped.find("hex(0):", second) + 9] = 'Z';
    // One bad line in a preset costs that preset only.
    const std::string dropped = "dropped: Alienator Presets\\Second (line ";
    const struct {
        const char* name;
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"truncated", good.substr(0, good.find("\"Squelch\"", second) + 4), dropped},
        {"flipped", flipped, dropped},
        {"random", std::string("\x8f\x01garbage\xff\x00\x13", 12), "(it does not begin with"},
        {"empty", "", "(it is empty)"},
    };
    for (const auto& c : cases) {
        std::system(("rm -f '" + registry_ + "'.damaged-*").c_str());
        std::ofstream(registry_, std::ios::binary | std::ios::trunc) << c.bytes;
        const std::string head = "tovana: The registry file " + registry_ + " could not be read whole (";
        for (const char* command : {"settings", "presets"}) {
            const Result read = Run({command});
            EXPECT_EQ(read.status, 0) << c.name << " " << command << ": " << read.err;
            ASSERT_EQ(ErrLines(read).size(), 1u) << c.name << " " << command << ": " << read.err;
            EXPECT_EQ(read.err.rfind(head, 0), 0u) << read.err;
            EXPECT_NE(read.err.find(c.reason), std::string::npos) << read.err;
            if (c.reason == dropped && std::string(command) == "presets") {
                EXPECT_NE(read.out.find("First"), std::string::npos) << read.out;
                EXPECT_EQ(read.out.find("Second"), std::string::npos) << read.out;
            }
            EXPECT_NE(read.err.find("left as it is until the next change"), std::string::npos) << read.err;
            EXPECT_EQ(ReadFile(registry_), c.bytes) << c.name << ": " << command << " changed the file";
        }
        const Result changed = Run({"apply", "-q", Path("in.wav"), Path("b.wav")});
        EXPECT_EQ(changed.status, 0) << c.name << ": " << changed.err;
        ASSERT_EQ(ErrLines(changed).size(), 1u) << c.name << ": " << changed.err;
        const std::string kept = "the damaged file was kept as ";
        const std::size_t at = changed.err.find(kept);
        ASSERT_NE(at, std::string::npos) << changed.err;
        const std::string copy = changed.err.substr(at + kept.size(), changed.err.rfind('.') - at - kept.size());
        EXPECT_EQ(copy.rfind(registry_ + ".damaged-", 0), 0u) << copy;
        EXPECT_EQ(ReadFile(copy), c.bytes) << c.name;
    }
}

TEST_F(TovanaStore, NamesFromTheStoreAndFilesAreShownEscaped) {
    RequireDialog();
    ImportInto("one.reg", PresetSection(0, "Plain"));
    // A name no import lets in, written into the store by hand.
    { std::ofstream(registry_, std::ios::app | std::ios::binary) << "\n" << PresetSection(0, "Evil\x1b]0;pwned\x07"); }
    const Result listed = Run({"presets", "alienator"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("Evil\\x1b]0;pwned\\x07"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find('\x1b'), std::string::npos);

    std::ofstream(Path("evil.reg")) << kHeader << PresetSection(1, "Bell\x07") << PresetSection(1, "Fine");
    const Result refused = Run({"presets", "import", Path("evil.reg")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("'Bell\\x07' has a control character in its name"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find('\x07'), std::string::npos);
    EXPECT_EQ(Run({"presets", "communicator"}).out.find("Fine"), std::string::npos) << "nothing is stored";

    const Result unknown = Run({"apply", "--effect", "alienator", "--preset", "\x1b[2J", Path("x.wav"), Path("y.wav")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("unknown preset '\\x1b[2J'"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("'Evil\\x1b]0;pwned\\x07'"), std::string::npos) << unknown.err;
    EXPECT_EQ(unknown.err.find('\x1b'), std::string::npos);
}

TEST_F(TovanaStore, TheBackupOfAResetStoreBringsEveryUserPresetBack) {
    RequireDialog();
    ImportInto("mine.reg", PresetSection(0, "Robot", 10) + PresetSection(1, "Radio", 20) +
                               PresetSection(2, "Giant", 30) + PresetSection(3, "Droid", 40));
    MakeAudio("in.wav", 1, 3000);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "cylonator", Path("in.wav"), Path("a.wav")}).status, 0);
    ASSERT_EQ(Run({"presets", "export", Path("before.reg")}).status, 0);

    // A missing value: the plug-in resets the whole tree, keeping a copy.
    std::string store = ReadFile(registry_);
    const std::size_t line = store.find("\"Squelch\"", store.find("Last Communicator Settings]"));
    ASSERT_NE(line, std::string::npos) << store;
    store.erase(line, store.find('\n', line) + 1 - line);
    { std::ofstream(registry_, std::ios::binary | std::ios::trunc) << store; }
    const Result reset = Run({"apply", "-q", Path("in.wav"), Path("b.wav")});
    EXPECT_EQ(reset.status, 2);
    const std::string saved = "A copy of the old entries was saved to ";
    const std::size_t at = reset.err.find(saved);
    ASSERT_NE(at, std::string::npos) << reset.err;
    const std::string backup = reset.err.substr(at + saved.size(), reset.err.find(';', at) - at - saved.size());
    EXPECT_EQ(backup, Path("tovana-registry-backup-1.reg"));
    EXPECT_EQ(Run({"presets"}).out.find("user"), std::string::npos) << "the reset took every user preset";

    const Result restored = Run({"presets", "import", backup});
    EXPECT_EQ(restored.status, 0) << restored.err;
    for (const char* line : {"added Alienator preset 'Robot'", "added Communicator preset 'Radio'",
                             "added Deepenator preset 'Giant'", "added Cylonator preset 'Droid'"}) {
        EXPECT_NE(restored.out.find(line), std::string::npos) << restored.out;
    }
    // Over a longer earlier file: replaced whole, nothing left beside it.
    std::ofstream(Path("after.reg"), std::ios::binary) << std::string(100000, ';');
    ASSERT_EQ(Run({"presets", "export", Path("after.reg")}).status, 0);
    EXPECT_EQ(ReadFile(Path("after.reg")), ReadFile(Path("before.reg")));
    EXPECT_EQ(std::system(("ls -a '" + dir_ + "' | grep -q '^.after.reg.tovana-'").c_str()), 256);
}

TEST_F(TovanaStore, AKilledRunsTemporaryOutputIsRemovedAndALiveOneKept) {
    RequireDialog();
    MakeAudio("short.wav", 1, 2000);
    MakeAudio("long.wav", 2, 22050 * 60);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "deepenator", Path("short.wav"), Path("first.wav")}).status, 0);
    const pid_t child = Start({"apply", "-q", Path("long.wav"), Path("out.wav")});
    // Killed while it writes audio.
    std::string left;
    struct stat written {};
    for (int i = 0; i < 10000 && (left.empty() || written.st_size < 100000); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        FILE* list = popen(("ls -a '" + dir_ + "' | grep '^.out.wav.tovana-'").c_str(), "r");
        char name[256] = {};
        if (std::fgets(name, sizeof name, list) != nullptr) left = std::string(name, std::strcspn(name, "\n"));
        pclose(list);
        if (!left.empty()) stat(Path(left).c_str(), &written);
    }
    ASSERT_FALSE(left.empty());
    kill(child, SIGKILL);
    Finish(child);
    ASSERT_TRUE(Exists(Path(left)));

    // Files of the same naming that are not stale: this (live) process's,
    // and one whose writer's id is gone here but which a writer holds locked.
    const std::string live = Path(".out.wav.tovana-" + std::to_string(getpid()) + "-abc123");
    const std::string locked = Path(".other.wav.tovana-" + std::to_string(child) + "-xyz789");
    std::ofstream(live) << "x";
    std::ofstream(locked) << "x";
    const int fd = open(locked.c_str(), O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    const Result next = Run({"apply", "-q", Path("short.wav"), Path("out.wav")});
    ASSERT_EQ(next.status, 0) << next.err;
    EXPECT_FALSE(Exists(Path(left)));
    EXPECT_TRUE(Exists(live));
    EXPECT_TRUE(Exists(locked));
    close(fd);
}

// A store of a first run with three user presets; each round starts from
// it, imports 40 more and is stopped at a random moment.
TEST_F(TovanaStore, AnInterruptedImportLeavesEveryPresetOrNone) {
    RequireDialog();
    ImportInto("keep.reg", PresetSection(0, "Keep A") + PresetSection(1, "Keep B") + PresetSection(3, "Keep C"));
    const std::string base = ReadFile(registry_);
    std::string many = kHeader;
    for (int i = 0; i < 40; ++i) many += PresetSection(i % 4, "New " + std::to_string(i), i);
    std::ofstream(Path("many.reg"), std::ios::binary) << many;

    // How long one import takes, so that the stops fall all through it.
    // A round starts from the first run's store alone: a temporary file a
    // killed round left is the next write's to remove, not this round's.
    auto restore = [&] {
        std::ofstream(registry_, std::ios::binary | std::ios::trunc) << base;
        std::remove((registry_ + ".tmp").c_str());
    };
    const auto start = std::chrono::steady_clock::now();
    const Result whole = Run({"presets", "import", Path("many.reg")});
    ASSERT_EQ(whole.status, 0) << whole.err;
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::srand(17);
    int all = 0;
    int none = 0;
    for (int round = 0; round < 50; ++round) {
        restore();
        const int signal = round < 30 ? SIGKILL : round < 40 ? SIGINT : SIGTERM;
        const pid_t child = Start({"presets", "import", Path("many.reg")});
        std::this_thread::sleep_for(std::chrono::microseconds(std::rand() % (took.count() * 3 / 2 + 1)));
        kill(child, signal);
        const Result stopped = Finish(child);
        const Result listed = Run({"presets"});
        ASSERT_EQ(listed.status, 0) << listed.err;
        EXPECT_TRUE(listed.err.empty()) << "round " << round << ": " << listed.err;
        std::size_t count = 0;
        for (std::size_t at = listed.out.find("New "); at != std::string::npos; at = listed.out.find("New ", at + 1)) {
            ++count;
        }
        for (const char* kept : {"Keep A", "Keep B", "Keep C"}) EXPECT_NE(listed.out.find(kept), std::string::npos);
        ASSERT_TRUE(count == 0 || count == 40) << "round " << round << ": " << count << " presets\n" << stopped.err;
        (count == 0 ? none : all) += 1;
        ASSERT_EQ(Run({"presets", "export", Path("check.reg")}).status, 0) << "every stored preset is whole";
        if (signal != SIGKILL) {
            // Stopped by a signal it handles: nothing of the store's own is left over.
            EXPECT_EQ(std::system(("ls -a '" + dir_ + "' | grep -v '^registry.reg$' | grep -v '^registry.reg.lock$'"
                                   " | grep -q '^registry.reg'").c_str()),
                      256)
                << "round " << round;
        }
    }
    std::printf("interrupted imports: %d stored all presets, %d none\n", all, none);
}

// Eight runs at once, each with its own Communicator settings: what is
// stored afterwards is one run's settings, whole.
TEST_F(TovanaStore, ConcurrentRunsLeaveTheSettingsOfOneOfThem) {
    RequireDialog();
    MakeAudio("in.wav", 1, 2000);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "communicator", Path("in.wav"), Path("first.wav")}).status, 0);
    auto value = [](const std::string& shown, const std::string& name) {
        const std::size_t at = shown.find("  " + name + " ");
        return at == std::string::npos ? -1 : std::atoi(shown.c_str() + shown.find_first_not_of(' ', at + 2 + name.size()));
    };
    for (int round = 0; round < 4; ++round) {
        std::vector<pid_t> children;
        for (int i = 0; i < 8; ++i) {
            const std::string n = std::to_string(i);
            children.push_back(Start({"apply", "-q", "--effect", "communicator", "--set",
                                      "Frequency=" + std::to_string(1000 + 100 * i), "--set",
                                      "Fullness=" + std::to_string(1050 + 100 * i), "--set",
                                      "Duration=" + std::to_string(10 + i), "--set",
                                      "Squelch=" + std::to_string(-80 + i), Path("in.wav"), Path("out" + n + ".wav")},
                                     "run" + n));
        }
        for (int i = 0; i < 8; ++i) {
            const Result result = Finish(children[i], "run" + std::to_string(i));
            EXPECT_EQ(result.status, 0) << result.err;
        }
        const std::string all = Run({"settings"}).out;
        const std::size_t from = all.find("\nCommunicator\n");
        const std::string shown = all.substr(from, all.find("\nDeepenator\n") - from);
        const int i = value(shown, "Duration") - 10;
        ASSERT_GE(i, 0) << shown;
        ASSERT_LT(i, 8) << shown;
        EXPECT_EQ(value(shown, "Frequency"), 1000 + 100 * i) << shown;
        EXPECT_EQ(value(shown, "Fullness"), 1050 + 100 * i) << shown;
        EXPECT_EQ(value(shown, "Squelch"), -80 + i) << shown;
    }
}

// A store that cannot take a change: the file may grow no further than a
// kilobyte (a full disk as the writer sees it).
TEST_F(TovanaStore, AStoreThatCannotBeWrittenIsAnErrorWithTheReason) {
    RequireDialog();
    MakeAudio("in.wav", 1, 2000);
    ASSERT_EQ(Run({"apply", "-q", "--effect", "alienator", Path("in.wav"), Path("first.wav")}).status, 0);
    const std::string before = ReadFile(registry_);
    std::ofstream(Path("one.reg")) << kHeader << PresetSection(0, "One");
    auto limited = [&](const std::string& args) {
        const std::string command = "cd '" + dir_ + "' && TOVANA_REGISTRY='" + registry_ +
                                    "' sh -c 'ulimit -f 1; trap \"\" XFSZ; exec \"$0\" \"$@\"' " TOVANA_EXE
                                    " --plugin " TOVANA_PLUGIN_PATH " " + args + " >limited.out 2>limited.err";
        const int status = std::system(command.c_str());
        return Result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(Path("limited.out")),
                      ReadFile(Path("limited.err"))};
    };
    const Result apply = limited("apply -q --effect alienator --set 'Carrier Freq=900' in.wav out.wav");
    EXPECT_EQ(apply.status, 2) << apply.err;
    EXPECT_NE(apply.err.find(registry_), std::string::npos) << apply.err;
    EXPECT_NE(apply.err.find("File too large"), std::string::npos) << apply.err;
    EXPECT_NE(apply.err.find("nothing was processed"), std::string::npos) << apply.err;
    EXPECT_FALSE(Exists(Path("out.wav")));

    const Result imported = limited("presets import one.reg");
    EXPECT_EQ(imported.status, 2) << imported.err;
    EXPECT_NE(imported.err.find("File too large"), std::string::npos) << imported.err;
    EXPECT_NE(imported.err.find("nothing was imported"), std::string::npos) << imported.err;
    EXPECT_EQ(ReadFile(registry_), before);
}

}  // namespace

// The bundle in real hosts from Debian: lv2_validate on its Turtle files,
// what its library exports and needs, and every built-in preset applied by
// lv2apply (one frame per call) and by lv2file (the preset picked by its
// label), each giving exactly the samples that tovana gives.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lv2/bundle_model.h"
#include "settings/builtin_presets.h"
#include "tests/skip_or_fail.h"

extern char** environ;

namespace {

using lv2plugin::PluginForm;

constexpr std::uint32_t kSeed = 4242;

bool OnPath(const std::string& tool) {
    std::stringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');) {
        if (access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/tovana-lv2-XXXXXX";
        if (mkdtemp(pattern) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error together
};

// Runs a program found on PATH, its output collected in `log`. `changes`
// are NAME=VALUE entries that replace the environment's, or a bare NAME that
// removes it.
Outcome RunProgram(const std::vector<std::string>& args, const std::string& log,
                   const std::vector<std::string>& changes = {}) {
    std::vector<std::string> env;
    for (const std::string& change : changes) {
        if (change.find('=') != std::string::npos) env.push_back(change);
    }
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& change : changes) replaced = replaced || change.substr(0, change.find('=')) == name;
        if (!replaced) env.push_back(entry);
    }
    std::vector<char*> argv, envp;
    std::vector<std::string> argCopy = args;
    for (std::string& a : argCopy) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    pid_t child = -1;
    Outcome outcome;
    if (posix_spawnp(&child, argv[0], &files, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&files);
    outcome.output = ReadText(log);
    return outcome;
}

// The environment of an LV2 host: `changes`, and where the library is built
// with the sanitizers (the hosts are not), their runtimes loaded first and
// the hosts' own leaks left alone.
std::vector<std::string> HostEnv(std::vector<std::string> changes) {
#ifdef TOVANA_LV2_HOST_PRELOAD
    changes.insert(changes.end(), {"LD_PRELOAD=" TOVANA_LV2_HOST_PRELOAD, "ASAN_OPTIONS=detect_leaks=0"});
#endif
    return changes;
}

std::string BundleParent() {
    const std::string bundle = TOVANA_LV2_BUNDLE_DIR;
    return bundle.substr(0, bundle.rfind('/'));
}

TEST(Lv2Bundle, ValidatesWithoutErrors) {
    if (!OnPath("lv2_validate") || !OnPath("sord_validate")) {
        TOVANA_SKIP_OR_FAIL("lv2_validate and sord_validate are not installed (lv2-dev, sordi)");
    }
    std::vector<std::string> args = {"lv2_validate"};
    DIR* dir = opendir(TOVANA_LV2_BUNDLE_DIR);
    ASSERT_NE(dir, nullptr);
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ttl") == 0) {
            args.push_back(std::string(TOVANA_LV2_BUNDLE_DIR) + "/" + name);
        }
    }
    closedir(dir);
    ASSERT_EQ(args.size(), 4u) << "manifest.ttl, plugins.ttl, presets.ttl";
    TempDir temp;
    const Outcome outcome = RunProgram(args, temp / "validate.log");
    EXPECT_NE(outcome.output.find("Found 0 errors"), std::string::npos) << outcome.output;
}

TEST(Lv2Bundle, LibraryExportsTheDescriptorOnlyAndNeedsNoPathsOfTheBuild) {
    if (!OnPath("nm") || !OnPath("readelf")) TOVANA_SKIP_OR_FAIL("binutils are not installed");
    const std::string library = std::string(TOVANA_LV2_BUNDLE_DIR) + "/" + lv2bundle::kLibraryName;
    TempDir temp;
    const Outcome symbols = RunProgram({"nm", "-D", "--defined-only", library}, temp / "nm.log");
    ASSERT_EQ(symbols.status, 0) << symbols.output;
    std::stringstream lines(symbols.output);
    std::vector<std::string> exported;
    for (std::string line; std::getline(lines, line);) exported.push_back(line.substr(line.rfind(' ') + 1));
    EXPECT_EQ(exported, std::vector<std::string>{"lv2_descriptor"});

    const Outcome dynamic = RunProgram({"readelf", "-d", "-W", library}, temp / "readelf.log");
    ASSERT_EQ(dynamic.status, 0) << dynamic.output;
    EXPECT_EQ(dynamic.output.find("RPATH"), std::string::npos) << dynamic.output;
    EXPECT_EQ(dynamic.output.find("RUNPATH"), std::string::npos) << dynamic.output;
    EXPECT_EQ(dynamic.output.find("ztplatform"), std::string::npos) << dynamic.output;
#ifndef TOVANA_LV2_HOST_PRELOAD  // sanitizer reports name their source files
    const std::string bytes = ReadText(library);
    for (const std::string& path : {std::string(TOVANA_SOURCE_DIR), std::string(TOVANA_BINARY_DIR),
                                   std::string("/usr/"), std::string("/home/")}) {
        EXPECT_EQ(bytes.find(path), std::string::npos) << path;
    }
#endif
}

// --- Presets through real hosts against tovana.

struct PresetCase {
    std::size_t form;
    std::size_t preset;
};

std::vector<PresetCase> EveryPreset() {
    std::vector<PresetCase> cases;
    for (std::size_t f = 0; f < lv2plugin::kFormCount; ++f) {
        const BuiltInPresetList list = BuiltInPresetsOf(lv2plugin::kForms[f].effect);
        for (std::size_t p = 0; p < list.count; ++p) cases.push_back({f, p});
    }
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<PresetCase>& info) {
    const PluginForm& form = lv2plugin::kForms[info.param.form];
    std::string name = std::string(TableOf(form.effect).name) + (form.channels == 1 ? "Mono_" : "Stereo_");
    for (char c : std::string(BuiltInPresetsOf(form.effect).presets[info.param.preset].name)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    }
    return name;
}

// The bundled voice as 16-bit samples (for tovana) and as floats x / 32768
// (for the LV2 hosts).
void WriteVoice(int channels, const std::string& pcmPath, const std::string& floatPath) {
    SF_INFO info{};
    const std::string voice = std::string(TOVANA_DATA_DIR) + (channels == 1 ? "/voice_mono.wav" : "/voice_stereo.wav");
    SNDFILE* in = sf_open(voice.c_str(), SFM_READ, &info);
    ASSERT_NE(in, nullptr) << voice;
    std::vector<short> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_short(in, samples.data(), info.frames);
    sf_close(in);
    std::vector<float> floats(samples.begin(), samples.end());
    for (float& x : floats) x /= 32768.0f;

    for (const bool asFloat : {false, true}) {
        SF_INFO out = info;
        out.format = SF_FORMAT_WAV | (asFloat ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
        SNDFILE* file = sf_open((asFloat ? floatPath : pcmPath).c_str(), SFM_WRITE, &out);
        ASSERT_NE(file, nullptr);
        if (asFloat) {
            sf_writef_float(file, floats.data(), info.frames);
        } else {
            sf_writef_short(file, samples.data(), info.frames);
        }
        sf_close(file);
    }
}

std::vector<float> ReadFloats(const std::string& path, bool scaled) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return {};
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);  // 16-bit samples as they are
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    if (scaled) {
        for (float& x : samples) x *= 32768.0f;
    }
    return samples;
}

// Empty when `got` (host floats x 32768) holds exactly tovana's samples.
std::string Difference(const std::vector<float>& tovana, const std::vector<float>& got) {
    if (got.size() != tovana.size()) {
        return std::to_string(got.size()) + " samples instead of " + std::to_string(tovana.size());
    }
    std::size_t differing = 0, first = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i] != tovana[i] && differing++ == 0) first = i;
    }
    if (differing == 0) return "";
    return std::to_string(differing) + " samples differ, the first at " + std::to_string(first) +
           ": tovana " + std::to_string(tovana[first]) + ", host " + std::to_string(got[first]);
}

class PresetInHosts : public ::testing::TestWithParam<PresetCase> {};

TEST_P(PresetInHosts, GivesTovanasSamples) {
    if (!OnPath("lv2apply") || !OnPath("lv2file")) {
        TOVANA_SKIP_OR_FAIL("lv2apply and lv2file are not installed (lilv-utils, lv2file)");
    }
    const PluginForm& form = lv2plugin::kForms[GetParam().form];
    const BuiltInPreset& preset = BuiltInPresetsOf(form.effect).presets[GetParam().preset];
    const std::string uri = lv2bundle::FormUri(form);
    const std::string seed = std::to_string(kSeed);
    TempDir temp;
    WriteVoice(form.channels, temp / "voice.wav", temp / "voice-float.wav");

    std::string effect = TableOf(form.effect).name;
    for (char& c : effect) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const Outcome tovana = RunProgram({TOVANA_EXE, "--plugin", TOVANA_PLUGIN_PATH, "apply", "-q", "--seed", seed,
                                "--effect", effect, "--preset", preset.name, temp / "voice.wav",
                                temp / "tovana.wav"},
                               temp / "tovana.log", {"TOVANA_REGISTRY=" + (temp / "registry.reg")});
    ASSERT_EQ(tovana.status, 0) << tovana.output;
    const std::vector<float> expected = ReadFloats(temp / "tovana.wav", false);
    ASSERT_FALSE(expected.empty());

    // lv2apply: the preset's values as controls, one frame per run() call.
    std::vector<std::string> apply = {"lv2apply", "-i", temp / "voice-float.wav", "-o", temp / "lv2apply.wav"};
    for (const lv2bundle::ControlPort& port : lv2bundle::ControlPorts(form.effect)) {
        char value[32];
        std::snprintf(value, sizeof value, "%.17g", lv2bundle::PresetPortValue(*port.setting, preset.block));
        apply.insert(apply.end(), {"-c", port.symbol, value});
    }
    apply.insert(apply.end(), {"-c", "seed", seed, uri});
    const Outcome lv2apply = RunProgram(apply, temp / "lv2apply.log", HostEnv({"LV2_PATH=" + BundleParent()}));
    ASSERT_EQ(lv2apply.status, 0) << lv2apply.output;
    EXPECT_EQ(Difference(expected, ReadFloats(temp / "lv2apply.wav", true)), "") << "lv2apply";

    // lv2file: the bundle copied into a home's ~/.lv2 as a user installs it,
    // the preset resource picked by its label, 997-frame blocks.
    const std::string home = temp / "home";
    ASSERT_EQ(std::system(("mkdir -p '" + home + "/.lv2' && cp -r '" TOVANA_LV2_BUNDLE_DIR "' '" + home +
                           "/.lv2/'").c_str()),
              0);
    const Outcome lv2file = RunProgram({"lv2file", "-i", temp / "voice-float.wav", "-o", temp / "lv2file.wav",
                                        "-P", preset.name, "-p", "seed:" + seed, "-b", "997", "--ignore-clipping",
                                        uri},
                                       temp / "lv2file.log", HostEnv({"HOME=" + home, "LV2_PATH"}));
    ASSERT_EQ(lv2file.status, 0) << lv2file.output;
    EXPECT_EQ(Difference(expected, ReadFloats(temp / "lv2file.wav", true)), "") << "lv2file";
}

INSTANTIATE_TEST_SUITE_P(EveryBuiltIn, PresetInHosts, ::testing::ValuesIn(EveryPreset()), CaseName);

}  // namespace

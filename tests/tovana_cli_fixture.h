// The fixture of the tests that run the real tovana executable: a folder
// and a store of its own for each test, generated audio, and the plug-in's
// dialog probed once.
#pragma once

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

namespace tovana_cli {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

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

}  // namespace tovana_cli

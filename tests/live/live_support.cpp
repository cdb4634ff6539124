#include "tests/live/live_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "dsp/fft.h"
#include "lv2/sample_convert.h"

extern char** environ;

namespace live_test {
namespace {

// Variables that would point a child at the machine's own servers.
bool Inherited(const std::string& entry) {
    for (const char* prefix : {"PIPEWIRE_", "PULSE_", "JACK_", "DBUS_SESSION_BUS_ADDRESS=", "XDG_RUNTIME_DIR=",
                               "XDG_CONFIG_HOME=", "XDG_STATE_HOME=", "XDG_DATA_HOME=", "HOME=", "LV2_PATH=",
                               "TOVANA_REGISTRY="}) {
        if (entry.rfind(prefix, 0) == 0) return false;
    }
    return true;
}

std::vector<std::string> ChildEnvironment(const Environment& env) {
    std::vector<std::string> all;
    for (char** e = environ; *e != nullptr; ++e) {
        if (Inherited(*e)) all.push_back(*e);
    }
    for (const auto& [name, value] : env) all.push_back(name + "=" + value);
    return all;
}

std::string MakeFolder(const std::string& path) {
    mkdir(path.c_str(), 0700);
    return path;
}

}  // namespace

bool Installed(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

void Sleep(std::chrono::milliseconds span) { std::this_thread::sleep_for(span); }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Child::~Child() {
    if (pid_ > 0 && status_ < 0) Stop(SIGKILL, std::chrono::seconds(5));
    CloseInput();
}

bool Child::Start(const std::vector<std::string>& argv, const Environment& env, const std::string& log,
                  bool pipeInput) {
    std::vector<std::string> environment = ChildEnvironment(env);
    std::vector<char*> args;
    std::vector<std::string> copy = argv;
    for (std::string& arg : copy) args.push_back(arg.data());
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    int input[2] = {-1, -1};
    if (pipeInput && pipe2(input, O_CLOEXEC) != 0) return false;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        // Dies with the test, whatever ends the test.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(out, 1);
        dup2(out, 2);
        const int in = pipeInput ? input[0] : open("/dev/null", O_RDONLY);
        dup2(in, 0);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    if (pipeInput) {
        close(input[0]);
        input_ = input[1];
    }
    status_ = -1;
    return true;
}

bool Child::Running() {
    if (pid_ <= 0 || status_ >= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    return false;
}

void Child::Write(const std::string& text) {
    if (input_ >= 0) (void)!write(input_, text.data(), text.size());
}

void Child::CloseInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
}

int Child::Wait(std::chrono::milliseconds timeout) {
    if (!WaitFor([&] { return !Running(); }, timeout)) return -1;
    return status_;
}

int Child::Stop(int signal, std::chrono::milliseconds timeout) {
    if (!Running()) return status_;
    kill(pid_, signal);
    const int status = Wait(timeout);
    if (status >= 0) return status;
    kill(pid_, SIGKILL);
    Wait(std::chrono::seconds(5));
    return -1;
}

std::string Capture(const std::vector<std::string>& argv, const Environment& env, int* status,
                    std::chrono::milliseconds timeout) {
    char pattern[] = "/tmp/tovana-live-capture-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) return "";
    close(fd);
    Child child;
    int code = -1;
    if (child.Start(argv, env, pattern)) code = child.Wait(timeout);
    if (code < 0) child.Stop(SIGKILL);
    if (status != nullptr) *status = code;
    const std::string text = ReadText(pattern);
    unlink(pattern);
    return text;
}

PipeWireSession::PipeWireSession(const std::string& folder) : folder_(MakeFolder(folder)) {
    const std::string home = MakeFolder(folder + "/home");
    env_["XDG_RUNTIME_DIR"] = MakeFolder(folder + "/run");
    env_["HOME"] = home;
    env_["XDG_CONFIG_HOME"] = MakeFolder(home + "/.config");
    env_["XDG_STATE_HOME"] = MakeFolder(home + "/.state");
    env_["XDG_DATA_HOME"] = MakeFolder(home + "/.data");
    env_["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + folder + "/run/bus";
}

PipeWireSession::~PipeWireSession() {
    wireplumber_.Stop(SIGTERM);
    pipewire_.Stop(SIGTERM);
    bus_.Stop(SIGTERM);
}

static std::string MissingOf(std::initializer_list<const char*> programs) {
    for (const char* program : programs) {
        if (!Installed(program)) return std::string(program) + " is not installed (scripts/packages.sh lists its package)";
    }
    return "";
}

std::string PipeWireSession::Missing() {
    return MissingOf({"dbus-daemon", "pipewire", "wireplumber", "pw-cli", "pw-link", "pw-play", "pw-record",
                      "pw-metadata"});
}

bool PipeWireSession::Start(std::string* why) {
    const std::string run = env_["XDG_RUNTIME_DIR"];
    bus_.Start({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + env_["DBUS_SESSION_BUS_ADDRESS"]},
               env_, folder_ + "/dbus.log");
    if (!WaitFor([&] { return access((run + "/bus").c_str(), F_OK) == 0; }, std::chrono::seconds(10))) {
        *why = "the session bus did not start: " + ReadText(folder_ + "/dbus.log");
        return false;
    }
    pipewire_.Start({"pipewire"}, env_, folder_ + "/pipewire.log");
    auto answers = [&] {
        int status = -1;
        Capture({"pw-cli", "info", "0"}, env_, &status);
        return status == 0;
    };
    if (!WaitFor(answers, std::chrono::seconds(10))) {
        *why = "pipewire did not start: " + ReadText(folder_ + "/pipewire.log");
        return false;
    }
    // The session manager's default-nodes metadata says it is at work.
    wireplumber_.Start({"wireplumber"}, env_, folder_ + "/wireplumber.log");
    auto managed = [&] {
        return Capture({"pw-cli", "ls", "Metadata"}, env_).find("\"default\"") != std::string::npos;
    };
    if (!WaitFor(managed, std::chrono::seconds(15))) {
        *why = "wireplumber did not start: " + ReadText(folder_ + "/wireplumber.log");
        return false;
    }
    return true;
}

std::string PipeWireSession::Nodes() { return Capture({"pw-cli", "ls", "Node"}, env_); }

JackServer::JackServer(const std::string& folder, int rate, int period)
    : folder_(MakeFolder(folder)), rate_(rate), period_(period) {
    env_["JACK_DEFAULT_SERVER"] = "tovana-test-" + std::to_string(getpid());
    env_["JACK_NO_START_SERVER"] = "1";
    env_["HOME"] = MakeFolder(folder + "/home");
}

JackServer::~JackServer() { jackd_.Stop(SIGTERM); }

std::string JackServer::Missing() {
    return MissingOf({"jackd", "jack_wait", "jack_lsp", "jack_connect", "jack_metro", "jack_rec", "jalv"});
}

bool JackServer::Start(std::string* why) {
    // Real-time scheduling where the system grants it keeps a busy machine
    // from making every client late; jackd runs without it otherwise. The
    // long client timeout keeps a client that a loaded machine starves for a
    // moment in the graph instead of dropping it.
    jackd_.Start({"jackd", "--realtime", "-t", "10000", "-n", env_["JACK_DEFAULT_SERVER"], "-d", "dummy", "-r",
                  std::to_string(rate_), "-p", std::to_string(period_)},
                 env_, folder_ + "/jackd.log");
    int status = -1;
    Capture({"jack_wait", "-w", "-t", "10"}, env_, &status, std::chrono::seconds(15));
    if (status != 0) {
        *why = "jackd did not start: " + log();
        return false;
    }
    return true;
}

std::string JackServer::log() const { return ReadText(folder_ + "/jackd.log"); }

std::vector<float> ReadChannel(const std::string& path, int channel, int* rate) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr || channel >= info.channels) {
        if (file != nullptr) sf_close(file);
        return {};
    }
    std::vector<float> all(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t frames = sf_readf_float(file, all.data(), info.frames);
    sf_close(file);
    std::vector<float> samples(static_cast<std::size_t>(frames));
    for (sf_count_t i = 0; i < frames; ++i) samples[i] = all[static_cast<std::size_t>(i * info.channels + channel)];
    if (rate != nullptr) *rate = info.samplerate;
    return samples;
}

bool WriteMono16(const std::string& path, const std::vector<float>& samples, int rate) {
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    // As the plug-in takes a host's float in.
    std::vector<short> whole(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) whole[i] = lv2plugin::SampleFromFloat(samples[i]);
    const bool written = sf_writef_short(file, whole.data(), static_cast<sf_count_t>(whole.size())) ==
                         static_cast<sf_count_t>(whole.size());
    sf_close(file);
    return written;
}

double BandCentre(int band) { return 1000.0 * std::pow(2.0, (band - 10) / 3.0); }

std::vector<double> PowerSpectrum(const std::vector<float>& samples, int size) {
    const dsp::FftPlan plan(size, -1);
    std::vector<double> power(static_cast<std::size_t>(size / 2), 0.0);
    std::vector<float> frame(2 * static_cast<std::size_t>(size));
    // Hann windows overlapping by half; a short signal is padded with silence.
    for (std::size_t start = 0; start == 0 || start + size <= samples.size(); start += size / 2) {
        const std::size_t length = std::min<std::size_t>(size, samples.size() - start);
        std::fill(frame.begin(), frame.end(), 0.0f);
        for (std::size_t i = 0; i < length; ++i) {
            frame[2 * i] = static_cast<float>(samples[start + i] * (0.5 - 0.5 * std::cos(2 * M_PI * i / length)));
        }
        plan.Run(frame.data());
        for (std::size_t k = 0; k < power.size(); ++k) {
            power[k] += double(frame[2 * k]) * frame[2 * k] + double(frame[2 * k + 1]) * frame[2 * k + 1];
        }
    }
    return power;
}

std::vector<double> ThirdOctaveLevels(const std::vector<float>& samples, int rate) {
    constexpr int kSize = 8192;
    const std::vector<double> power = PowerSpectrum(samples, kSize);
    std::vector<double> levels;
    for (int band = 0; band < 21; ++band) {
        const double low = BandCentre(band) * std::pow(2.0, -1.0 / 6);
        const double high = BandCentre(band) * std::pow(2.0, 1.0 / 6);
        double sum = 1e-30;
        for (std::size_t k = 1; k < power.size(); ++k) {
            const double frequency = double(k) * rate / kSize;
            if (frequency >= low && frequency < high) sum += power[k];
        }
        levels.push_back(10.0 * std::log10(sum));
    }
    return levels;
}

}  // namespace live_test

// Real sound servers for the live tests, each in a folder of its own: child
// processes that die with the test, a private PipeWire session (session bus,
// pipewire, wireplumber) and a JACK server on the dummy driver, and the
// third-octave band levels the tests compare recordings by.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace live_test {

using Environment = std::map<std::string, std::string>;

// True when `program` is found on PATH.
bool Installed(const std::string& program);

class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    // Starts argv[0] (searched on PATH) with the test's environment and
    // `env` on top; standard output and error go to `log`. With `pipeInput`
    // its standard input is a pipe that stays open until CloseInput().
    bool Start(const std::vector<std::string>& argv, const Environment& env, const std::string& log,
               bool pipeInput = false);
    bool Running();
    void Write(const std::string& text);
    void CloseInput();
    // Sends `signal` and waits; the exit status, 1000 + signal when killed,
    // or -1 when it did not end in time (it is then killed).
    int Stop(int signal, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    int Wait(std::chrono::milliseconds timeout);
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int status_ = -1;
};

// Runs a program to its end (at most `timeout`); its standard output.
std::string Capture(const std::vector<std::string>& argv, const Environment& env, int* status = nullptr,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20));

std::string ReadText(const std::string& path);
void Sleep(std::chrono::milliseconds span);
// Polls `done` every 50 ms until it holds or `timeout` passes.
template <typename Done>
bool WaitFor(Done done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(std::chrono::milliseconds(50));
    }
    return true;
}

// A session of its own: a session bus, pipewire and wireplumber, with
// runtime, home, config and state folders under `folder`.
class PipeWireSession {
public:
    explicit PipeWireSession(const std::string& folder);
    ~PipeWireSession();
    // The first program of the session that is not installed; empty when all are.
    static std::string Missing();
    // False with a reason when a part does not start.
    bool Start(std::string* why);
    const Environment& env() const { return env_; }
    // A variable for the servers too, set before Start().
    void Add(const std::string& name, const std::string& value) { env_[name] = value; }
    std::string Nodes();  // pw-cli ls Node

private:
    std::string folder_;
    Environment env_;
    Child bus_;
    Child pipewire_;
    Child wireplumber_;
};

// jackd on the dummy driver under a name of its own.
class JackServer {
public:
    JackServer(const std::string& folder, int rate, int period);
    ~JackServer();
    static std::string Missing();
    bool Start(std::string* why);
    const Environment& env() const { return env_; }
    std::string log() const;

private:
    std::string folder_;
    int rate_;
    int period_;
    Environment env_;
    Child jackd_;
};

// Mono samples of a WAV file as floats in -1..1 (channel `channel` of it),
// and its rate.
std::vector<float> ReadChannel(const std::string& path, int channel, int* rate = nullptr);
bool WriteMono16(const std::string& path, const std::vector<float>& samples, int rate);

// Power of each frequency bin (size / 2 of them) over the whole signal.
std::vector<double> PowerSpectrum(const std::vector<float>& samples, int size);
// Energy in dB of each third-octave band from 100 Hz to 10 kHz (21 bands),
// over the whole signal.
std::vector<double> ThirdOctaveLevels(const std::vector<float>& samples, int rate);
double BandCentre(int band);

}  // namespace live_test

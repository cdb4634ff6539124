#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tools/live.h"
#include "tools/plugin_run.h"

namespace tovana::live {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Whether the process has stayed up for `span`; false once it has ended.
bool StaysUp(pid_t child, std::chrono::milliseconds span, int* status) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(child, status, WNOHANG) == child) return false;
        if (Interrupted()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string HowItEnded(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("signal ") + strsignal(WTERMSIG(status));
    return "status " + std::to_string(status);
}

}  // namespace

std::string PipeWireSocket() {
    std::string name = Environment("PIPEWIRE_REMOTE");
    if (name.empty()) name = "pipewire-0";
    if (name[0] == '/') return name;
    std::string folder = Environment("PIPEWIRE_RUNTIME_DIR");
    if (folder.empty()) folder = Environment("XDG_RUNTIME_DIR");
    if (folder.empty()) return "";
    return folder + "/" + name;
}

bool PipeWireAnswers(const std::string& socket) {
    sockaddr_un address{};
    if (socket.empty() || socket.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socket.c_str(), socket.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answers = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answers;
}

ChainOutcome RunPipeWire(const std::string& configPath, const std::function<void()>& started) {
    ChainOutcome outcome;
    // The child reports a failed exec through this pipe; a successful one closes it.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        outcome.error = std::string("cannot start pipewire: ") + std::strerror(errno);
        return outcome;
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        outcome.error = std::string("cannot start pipewire: ") + std::strerror(errno);
        close(report[0]);
        close(report[1]);
        return outcome;
    }
    if (child == 0) {
        // Ends with tovana however tovana ends, and takes the device along.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, 0);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        signal(SIGHUP, SIG_DFL);
        execlp("pipewire", "pipewire", "-c", configPath.c_str(), static_cast<char*>(nullptr));
        const int code = errno;
        (void)!write(report[1], &code, sizeof code);
        _exit(127);
    }
    close(report[1]);
    int execError = 0;
    const bool execFailed = read(report[0], &execError, sizeof execError) == sizeof execError;
    close(report[0]);
    int status = 0;
    if (execFailed) {
        waitpid(child, &status, 0);
        outcome.error = std::string("cannot run pipewire: ") + std::strerror(execError) +
                        (execError == ENOENT ? " (it comes with the Debian package pipewire-bin)" : "");
        return outcome;
    }
    const bool running = StaysUp(child, std::chrono::milliseconds(500), &status);
    if (running && !Interrupted()) started();
    std::chrono::steady_clock::time_point asked{};
    while (running) {
        if (Interrupted() && asked == std::chrono::steady_clock::time_point{}) {
            kill(child, SIGTERM);
            asked = std::chrono::steady_clock::now();
        } else if (Interrupted() && std::chrono::steady_clock::now() - asked > std::chrono::seconds(5)) {
            kill(child, SIGKILL);
        }
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // A Ctrl-C at the terminal reaches pipewire too, which may end first.
    if (Interrupted()) {
        outcome.stopped = true;
        return outcome;
    }
    outcome.error = "the PipeWire filter-chain process ended by itself (" + HowItEnded(status) + ")";
    return outcome;
}

}  // namespace tovana::live

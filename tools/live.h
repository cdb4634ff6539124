// The sound server side of `tovana mic`: whether PipeWire answers, and a
// PipeWire client process that runs a configuration until it is stopped.
// live_posix.cpp implements it.
#pragma once

#include <functional>
#include <string>

namespace tovana::live {

// The socket a PipeWire client connects to (PIPEWIRE_REMOTE, in
// PIPEWIRE_RUNTIME_DIR or XDG_RUNTIME_DIR); empty when no folder is set.
std::string PipeWireSocket();
// Whether a server accepts a connection at that socket.
bool PipeWireAnswers(const std::string& socket);

struct ChainOutcome {
    bool stopped = false;  // ended by an interrupt, as asked
    std::string error;     // when it ended by itself or could not start
};

// Runs `pipewire -c config` until an interrupt (Ctrl-C, SIGTERM, SIGHUP)
// arrives or the process ends by itself. `started` is called once the
// process has loaded its modules and stays up. The process dies with this
// one, so no virtual device outlives it.
ChainOutcome RunPipeWire(const std::string& configPath, const std::function<void()>& started);

}  // namespace tovana::live

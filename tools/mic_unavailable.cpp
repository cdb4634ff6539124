// tovana mic where there is no PipeWire: the Windows build.
#include "tools/commands.h"
#include "tools/plugin_run.h"

namespace tovana {

int MicCommand(const Context&, const Args&) {
    return Complain(kExitFailed, "mic runs the effects live through PipeWire, which this system does not have; "
                                 "use the Linux build");
}

}  // namespace tovana

// The commands of tovana. Each takes the arguments after its name and
// returns the exit status.
#pragma once

#include <string>
#include <vector>

namespace tovana {

struct Context {
    std::string pluginPath;
    std::string self;  // this executable, for the processes of a batch
};

using Args = std::vector<std::string>;

int ApplyCommand(const Context& context, const Args& args);
int PresetsCommand(const Context& context, const Args& args);
int SettingsCommand(const Context& context, const Args& args);
int InfoCommand(const Context& context, const Args& args);
int DemoCommand(const Context& context, const Args& args);
int SetupCommand(const Context& context, const Args& args);
int MicCommand(const Context& context, const Args& args);
// The hidden --complete option, for the shell's completion script.
int CompleteCommand(const Args& args, const std::vector<std::string>& commands);

// Prints "tovana: <message>" on standard error, with Printable applied,
// and returns `status`.
int Complain(int status, const std::string& message);
// `text` with control characters written as \xNN (C1 controls as \u00NN),
// so that a name from a file or the store cannot drive the terminal or
// break a line. Every name or text from outside is printed through it.
std::string Printable(const std::string& text);
bool WantsHelp(const Args& args);
// The system's text for a registry error code, without its line end.
std::string SystemReason(long code);

}  // namespace tovana

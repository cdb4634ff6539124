// A Windows program gets its arguments as one line, which its C runtime
// splits again; the worker processes of a batch are started that way.
#pragma once

#include <string>

namespace tovana {

// `arg` as it must appear on such a line to come out unchanged: quoted
// when it holds a space, a tab or a quote (or is empty), each quote after a
// backslash, and the backslashes before a quote or the closing quote
// doubled.
std::string QuoteWindowsArgument(const std::string& arg);

}  // namespace tovana

// What tovana.exe relies on that can be checked here: the command line its
// batch workers are started with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/command_line.h"

namespace {

using tovana::QuoteWindowsArgument;

// The C runtime's split of a command line: whitespace separates arguments
// outside quotes; 2n backslashes before a quote give n and the quote opens
// or closes, 2n+1 give n and a literal quote; other backslashes are kept.
std::vector<std::string> SplitLikeTheRuntime(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(backslashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

TEST(WindowsCommandLine, ArgumentsComeOutAsTheyWentIn) {
    EXPECT_EQ(QuoteWindowsArgument("apply"), "apply");
    EXPECT_EQ(QuoteWindowsArgument("C:\\audio\\take 1.wav"), "\"C:\\audio\\take 1.wav\"");
    EXPECT_EQ(QuoteWindowsArgument("C:\\out dir\\"), "\"C:\\out dir\\\\\"");
    EXPECT_EQ(QuoteWindowsArgument(""), "\"\"");
    EXPECT_EQ(QuoteWindowsArgument("say \"hi\""), "\"say \\\"hi\\\"\"");

    const std::vector<std::string> args = {"C:\\Program Files\\tovana\\tovana.exe", "--plugin",
                                           "D:\\plug ins\\ZentrixTvn.xfm", "apply", "", "a\\\\\"b",
                                           "trailing\\", "two words\\\\", "tab\there", "\\\\server\\share\\x.wav",
                                           "\"", "\\"};
    std::string line;
    for (const std::string& arg : args) line += (line.empty() ? "" : " ") + QuoteWindowsArgument(arg);
    EXPECT_EQ(SplitLikeTheRuntime(line), args) << line;
}

}  // namespace

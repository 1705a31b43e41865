// The mira8-cli commands. Each takes its arguments (after the command name) and the
// streams to write to, and returns the process exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mira::cli {

using Args = std::vector<std::string>;

// Exit statuses shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotHalted = 3;

int runCommand(const Args& args, std::ostream& out, std::ostream& err);
int containerCommand(const Args& args, std::ostream& out, std::ostream& err);
int benchCommand(const Args& args, std::ostream& out, std::ostream& err);
int boardCommand(const Args& args, std::ostream& out, std::ostream& err);

void printUsage(std::ostream& out);

}  // namespace mira::cli

// Subcommand registry of the vekgeo tool. Each cmd_*.cpp registers its commands with a
// static CommandRegistration; main() dispatches on the first argument.
#pragma once

#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace vekgeo {

// Arguments after the command name. The function returns the process exit code.
using CommandFn = std::function<int(const std::vector<std::string>& args)>;

struct CommandInfo {
  std::string name;
  std::string usage;  // one line shown by "vekgeo help"
  CommandFn run;
};

std::vector<CommandInfo>& Commands();

struct CommandRegistration {
  CommandRegistration(std::string name, std::string usage, CommandFn fn) {
    Commands().push_back({std::move(name), std::move(usage), std::move(fn)});
  }
};

// Thrown for bad arguments: main() prints the message and exits with code 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Parses a whole argument as a number; throws UsageError naming `what` otherwise.
double ParseNumber(const std::string& text, const char* what);
int ParseInt(const std::string& text, const char* what);

}  // namespace vekgeo

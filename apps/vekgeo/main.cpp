// vekgeo: command-line access to the VekGeo library.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "Command.h"

namespace vekgeo {

std::vector<CommandInfo>& Commands() {
  static std::vector<CommandInfo> commands;
  return commands;
}

double ParseNumber(const std::string& text, const char* what) {
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v))
    throw UsageError(std::string("invalid ") + what + ": \"" + text + "\"");
  return v;
}

int ParseInt(const std::string& text, const char* what) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || v < INT32_MIN ||
      v > INT32_MAX)
    throw UsageError(std::string("invalid ") + what + ": \"" + text + "\"");
  return static_cast<int>(v);
}

}  // namespace vekgeo

namespace {

void PrintHelp(std::ostream& out) {
  out << "usage: vekgeo COMMAND [ARGS...]\n\ncommands:\n";
  for (const auto& c : vekgeo::Commands()) out << "  " << c.usage << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    PrintHelp(args.empty() ? std::cerr : std::cout);
    return args.empty() ? 2 : 0;
  }
  for (const auto& c : vekgeo::Commands()) {
    if (c.name != args[0]) continue;
    try {
      return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const vekgeo::UsageError& e) {
      std::cerr << "vekgeo " << c.name << ": " << e.what() << "\nusage: vekgeo " << c.usage << "\n";
      return 2;
    } catch (const std::exception& e) {
      std::cerr << "vekgeo " << c.name << ": " << e.what() << "\n";
      return 1;
    }
  }
  std::cerr << "vekgeo: unknown command \"" << args[0] << "\"\n";
  PrintHelp(std::cerr);
  return 2;
}

#include "cli/commands.h"

#include <cstdio>
#include <string>

#include "fetch/fetch_page.h"
#include "text/codepage.h"

namespace tarnlow::cli {
namespace {

constexpr Command kCommands[] = {
    {"fetch", FetchCommand}, {"contents", nullptr}, {"preview", nullptr},
    {"get", nullptr},        {"batch", nullptr},
};

void Print(std::FILE* stream, std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

int UsageError(std::string_view message) {
  Print(stderr, "tarnlow-cli: " + std::string(message) + "\nTry 'tarnlow-cli --help'.\n");
  return kExitUsage;
}

}  // namespace

std::span<const Command> Commands() { return kCommands; }

int FetchCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("fetch wants one address: fetch URL");
  const std::string page = FetchPage(options.arguments[0]);
  Print(stdout, GbkToUtf8(page) + "\n");
  return page.find(FetchFailedMarker()) == std::string::npos ? kExitOk : kExitFailed;
}

int RunCli(const std::vector<std::string_view>& args) {
  const ParseResult parsed = ParseArguments(args);
  if (!parsed.error.empty()) return UsageError(parsed.error);
  const CliOptions& options = parsed.options;
  if (options.help) {
    Print(stdout, UsageText());
    return kExitOk;
  }
  if (options.command.empty()) return UsageError("no command given");
  for (const Command& command : kCommands) {
    if (command.name != options.command) continue;
    if (command.run == nullptr) {
      return UsageError("the " + options.command + " command is not available yet");
    }
    return command.run(options);
  }
  return UsageError("unknown command " + options.command);
}

}  // namespace tarnlow::cli

#pragma once
// The commands of tarnlow-cli: one function each, found by name in a table.

#include <span>
#include <string_view>

#include "cli/options.h"

namespace tarnlow::cli {

enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct Command {
  std::string_view name;
  int (*run)(const CliOptions& options);  // null: not available yet
};

std::span<const Command> Commands();

// fetch URL: one page as the program sees it, printed as UTF-8.
int FetchCommand(const CliOptions& options);

// The whole program: parses, dispatches, returns the exit status.
int RunCli(const std::vector<std::string_view>& args);

}  // namespace tarnlow::cli

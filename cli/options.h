#pragma once
// The command line of tarnlow-cli:
//   tarnlow-cli [--home DIR] COMMAND [OPTIONS] [ARGS]
// Options may stand anywhere before "--"; texts arrive as UTF-8 and are kept
// as the program's GBK text.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlow::cli {

struct CliOptions {
  std::filesystem::path home;  // empty: the program's own choice (ProgramDir)
  bool help = false;
  bool version = false;
  std::string command;
  std::vector<std::string> arguments;  // GBK

  // Settings a command run overrides; unset ones come from config.ini.
  std::optional<std::string> listBegin;  // GBK
  std::optional<std::string> listEnd;
  std::optional<std::string> textBegin;
  std::optional<std::string> textEnd;
  std::optional<std::string> name;
  std::optional<std::string> download;
  std::optional<int> threads;
  std::optional<int> retry;
  std::optional<int> delayMs;
  std::optional<int> lineMode;
  std::optional<int> nameFormat;
  std::optional<bool> nextPage;
  std::optional<bool> cleanDubious;
  std::optional<bool> keepDubiousWithMarks;
  std::optional<bool> renumber;
  std::optional<bool> autoList;
  std::optional<bool> autoText;
  std::optional<bool> resume;
  std::optional<bool> backOff;
};

struct ParseResult {
  CliOptions options;
  std::string error;  // UTF-8; not empty: the command line is unusable
};

ParseResult ParseArguments(const std::vector<std::string_view>& args);

// The folder that plays the program directory for data.
std::filesystem::path HomeDir(const CliOptions& options);

// The usage text (UTF-8).
const std::string& UsageText();

}  // namespace tarnlow::cli

#include "cli/options.h"

#include <charconv>
#include <variant>

#include "app/program_dir.h"
#include "text/codepage.h"

namespace tarnlow::cli {
namespace {

using TextField = std::optional<std::string> CliOptions::*;
using NumberField = std::optional<int> CliOptions::*;
using FlagField = std::optional<bool> CliOptions::*;

struct NumberRange {
  NumberField field;
  int min;
  int max;
};

struct OptionInfo {
  std::string_view name;
  std::variant<TextField, NumberRange, FlagField> target;
};

constexpr OptionInfo kOptions[] = {
    {"--list-begin", &CliOptions::listBegin},
    {"--list-end", &CliOptions::listEnd},
    {"--text-begin", &CliOptions::textBegin},
    {"--text-end", &CliOptions::textEnd},
    {"--name", &CliOptions::name},
    {"--download", &CliOptions::download},
    {"--threads", NumberRange{&CliOptions::threads, 1, 9}},
    {"--retry", NumberRange{&CliOptions::retry, 0, 99999}},
    {"--delay", NumberRange{&CliOptions::delayMs, 0, 99999}},
    {"--line-mode", NumberRange{&CliOptions::lineMode, 0, 2}},
    {"--name-format", NumberRange{&CliOptions::nameFormat, 0, 4}},
    {"--next-page", &CliOptions::nextPage},
    {"--clean-dubious", &CliOptions::cleanDubious},
    {"--keep-dubious-with-marks", &CliOptions::keepDubiousWithMarks},
    {"--renumber", &CliOptions::renumber},
    {"--auto-list", &CliOptions::autoList},
    {"--auto-text", &CliOptions::autoText},
    {"--resume", &CliOptions::resume},
    {"--back-off", &CliOptions::backOff},
};

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || last != end) return std::nullopt;
  return value;
}

// Stores one option's value; the error text when the value is unusable.
std::string Apply(const OptionInfo& option, std::string_view value, CliOptions& options) {
  const std::string name(option.name);
  if (const auto* text = std::get_if<TextField>(&option.target)) {
    options.*(*text) = Utf8ToAnsi(value);
    return {};
  }
  const std::optional<int> number = ParseNumber(value);
  if (const auto* range = std::get_if<NumberRange>(&option.target)) {
    if (!number || *number < range->min || *number > range->max) {
      return name + " wants a whole number from " + std::to_string(range->min) + " to " +
             std::to_string(range->max) + ", not \"" + std::string(value) + "\"";
    }
    options.*(range->field) = *number;
    return {};
  }
  if (!number || (*number != 0 && *number != 1)) {
    return name + " wants 0 or 1, not \"" + std::string(value) + "\"";
  }
  options.*std::get<FlagField>(option.target) = *number == 1;
  return {};
}

const OptionInfo* FindOption(std::string_view name) {
  for (const OptionInfo& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string_view>& args) {
  ParseResult result;
  CliOptions& options = result.options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || !arg.starts_with("--")) {
      if (options.command.empty()) {
        options.command = std::string(arg);
      } else {
        options.arguments.push_back(Utf8ToAnsi(arg));
      }
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help") {
      options.help = true;
      continue;
    }
    if (arg == "--version") {
      options.version = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const OptionInfo* option = FindOption(name);
    if (option == nullptr && name != "--home") {
      result.error = "unknown option " + std::string(name);
      return result;
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      result.error = std::string(name) + " needs a value";
      return result;
    }
    if (option == nullptr) {
      options.home = std::filesystem::path(std::string(value));
      continue;
    }
    if (std::string error = Apply(*option, value, options); !error.empty()) {
      result.error = std::move(error);
      return result;
    }
  }
  return result;
}

std::filesystem::path HomeDir(const CliOptions& options) { return ProgramDir(options.home); }

const std::string& UsageText() {
  static const std::string usage =
      "Usage: tarnlow-cli [--home DIR] COMMAND [OPTIONS] [ARGS]\n"
      "\n"
      "Downloads a web novel chapter by chapter into one GBK text file.\n"
      "\n"
      "Commands:\n"
      "  fetch URL          fetch one page and print it as the program sees it\n"
      "                     (exit 0: a page, 1: the fetch failed)\n"
      "  contents URL       the chapter list of a contents page\n"
      "  preview URL        one chapter's text (a failed fetch goes to stderr, exit 0)\n"
      "  get URL            contents and chapters into one book file\n"
      "  batch [URL...]     many books: the given contents addresses (the stored\n"
      "                     batch list stays as it is), or the stored batch list\n"
      "                     when none are given\n"
      "  update BOOK        fetch the chapters added since BOOK was saved and add\n"
      "                     them to it, with the address, marks and options kept\n"
      "                     in BOOK.tarnlow (exit 0: updated or nothing new, 1: the\n"
      "                     book is as it was)\n"
      "\n"
      "Options (--opt VALUE or --opt=VALUE; an empty value sets the empty text):\n"
      "  --home DIR                  folder of config.ini, cleantxt.list, log.log and\n"
      "                              Download (default: the program's folder when\n"
      "                              writable, else ~/.local/share/tarnlow)\n"
      "  --list-begin M, --list-end M      marks around the chapter list\n"
      "  --text-begin M, --text-end M      marks around a chapter's text\n"
      "  --name NAME                 save name of the book\n"
      "  --download DIR              download folder\n"
      "  --threads N                 download threads, 1 to 9\n"
      "  --retry N                   retries of a failed page, 0 to 99999\n"
      "  --delay MS                  wait between retries in milliseconds\n"
      "  --line-mode 0|1|2           how chapter lines are written\n"
      "  --name-format 0..4          how the file is named\n"
      "  --next-page 0|1             follow the contents' next pages (下一页)\n"
      "  --clean-dubious 0|1         drop links that do not look like chapters\n"
      "  --keep-dubious-with-marks 0|1  keep them when list marks are given\n"
      "  --renumber 0|1              renumber chapter titles\n"
      "  --auto-list 0|1             without list marks, find the chapter list in\n"
      "                              the page instead of taking every link\n"
      "  --auto-text 0|1             find a chapter's text by itself when no text\n"
      "                              marks are given and the built-in search misses\n"
      "  --resume 0|1                keep fetched chapters in the Cache folder, so\n"
      "                              that a run cut short fetches only the rest\n"
      "  --back-off 0|1              fewer requests at once and longer waits for a\n"
      "                              site that answers 429 or 503 or empty pages\n"
      "  --help                      this text\n"
      "  --version                   the program's version\n"
      "\n"
      "Exit status: 0 success, 1 the command failed or standard output could not be\n"
      "written, 2 a usage error, 3 books saved but some chapters failed (get, batch),\n"
      "130 a second Ctrl+C.\n";
  return usage;
}

}  // namespace tarnlow::cli

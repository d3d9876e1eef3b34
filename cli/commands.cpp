#include "cli/commands.h"

#include <cstdio>
#include <string>

#include "app/commands.h"
#include "chapters/batch.h"
#include "chapters/extraction.h"
#include "cli/session.h"
#include "fetch/fetch_page.h"
#include "text/codepage.h"

namespace tarnlow::cli {
namespace {

constexpr Command kCommands[] = {
    {"fetch", FetchCommand}, {"contents", ContentsCommand}, {"preview", PreviewCommand},
    {"get", GetCommand},     {"batch", BatchCommand},
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

// Exit status of a command whose run ended because the window was closing.
constexpr int kExitInterrupted = 130;

int ContentsCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("contents wants one address: contents URL");
  Session session(options);
  if (!session.LibrariesPresent()) return kExitFailed;
  App& app = session.app();
  session.view().SetBox(Box::Address, options.arguments[0]);
  const bool ready = ExecuteCommand(app);
  if (session.Ended()) return kExitInterrupted;
  if (!ready) return kExitFailed;
  std::string listing = session.view().GetBox(Box::SaveName) + "\n";
  for (const ChapterEntry& e : app.chapters.Entries()) listing += e.title + "\t" + e.url + "\n";
  PrintGbk(stdout, listing);
  return kExitOk;
}

int PreviewCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("preview wants one address: preview URL");
  Session session(options);
  App& app = session.app();
  const std::string page = FetchPage(options.arguments[0]);
  if (page.find(FetchFailedMarker()) != std::string::npos) PrintGbk(stderr, page + "\n");
  const auto rules = app.rules.Snapshot();
  const std::string text = ExtractChapterText(
      page, session.view().GetBox(Box::TextBegin), session.view().GetBox(Box::TextEnd),
      {app.state.lineMode, rules.get(), app.state.autoText});
  PrintGbk(stdout, text);
  return kExitOk;
}

int GetCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("get wants one address: get URL");
  Session session(options);
  if (!session.LibrariesPresent()) return kExitFailed;
  App& app = session.app();
  session.view().SetBox(Box::Address, options.arguments[0]);
  // The execute button twice: the contents, then the chapters and the book.
  const bool listed = ExecuteCommand(app);
  if (session.Ended()) return kExitInterrupted;
  if (!listed) return kExitFailed;
  const bool saved = ExecuteCommand(app);
  if (session.Ended()) return kExitInterrupted;
  if (!saved || app.savedBooks.empty()) return kExitFailed;
  Print(stdout, app.savedBooks.back().string() + "\n");
  return kExitOk;
}

int BatchCommand(const CliOptions& options) {
  Session session(options);
  if (!session.LibrariesPresent()) return kExitFailed;
  App& app = session.app();
  std::string lines;
  if (options.arguments.empty()) {
    lines = StoredBatchText(app);
  } else {
    for (const std::string& address : options.arguments) lines += address + "\r\n";
  }
  AcceptBatchList(app, lines, true);
  const std::size_t tasks = app.batchTasks.size();
  RunBatchTasks(app);
  if (session.Ended()) return kExitInterrupted;
  std::string saved;
  for (const auto& path : app.savedBooks) saved += path.string() + "\n";
  Print(stdout, saved);
  return tasks > 0 && app.savedBooks.size() == tasks ? kExitOk : kExitFailed;
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
    if (command.name == options.command) return command.run(options);
  }
  return UsageError("unknown command " + options.command);
}

}  // namespace tarnlow::cli

#include "cli/commands.h"

#include <cstdio>
#include <string>

#include "app/version.h"
#include "chapters/extraction.h"
#include "cli/session.h"
#include "commands/batch.h"
#include "commands/commands.h"
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
  const FetchResult fetched = FetchPage(options.arguments[0]);
  Print(stdout, GbkToUtf8(ShownText(fetched)) + "\n");
  return fetched.HasPage() ? kExitOk : kExitFailed;
}

// Exit status of a command whose run ended because the window was closing.
constexpr int kExitInterrupted = 130;

int ContentsCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("contents wants one address: contents URL");
  Session session(options);
  if (!session.LibrariesPresent()) return kExitFailed;
  App& app = session.app();
  session.model().SetBox(Box::Address, options.arguments[0]);
  bool ready = false;
  session.Run([&] { ready = ExecuteCommand(app); });
  if (session.Ended()) return kExitInterrupted;
  if (!ready) return kExitFailed;
  std::string listing = session.model().GetBox(Box::SaveName) + "\n";
  for (const ChapterEntry& e : app.chapters.Entries()) listing += e.title + "\t" + e.url + "\n";
  PrintGbk(stdout, listing);
  return kExitOk;
}

int PreviewCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("preview wants one address: preview URL");
  Session session(options);
  App& app = session.app();
  const FetchResult fetched = FetchPage(options.arguments[0]);
  if (!fetched.HasPage()) PrintGbk(stderr, ShownText(fetched) + "\n");
  const auto rules = app.rules.Snapshot();
  const std::string text = ExtractChapterText(
      ShownText(fetched), session.model().GetBox(Box::TextBegin),
      session.model().GetBox(Box::TextEnd), {app.state.lineMode, rules.get(), app.state.autoText});
  PrintGbk(stdout, text);
  return kExitOk;
}

namespace {

// The chapters that looked wrong after each chapter run, one line a run.
void PrintHealthReports(const App& app) {
  for (const std::string& report : app.healthReports) PrintGbk(stderr, report + "\n");
}

}  // namespace

int GetCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("get wants one address: get URL");
  Session session(options);
  if (!session.LibrariesPresent()) return kExitFailed;
  App& app = session.app();
  session.model().SetBox(Box::Address, options.arguments[0]);
  // The execute button twice: the contents, then the chapters and the book.
  bool listed = false;
  session.Run([&] { listed = ExecuteCommand(app); });
  if (session.Ended()) return kExitInterrupted;
  if (!listed) return kExitFailed;
  bool saved = false;
  session.Run([&] { saved = ExecuteCommand(app); });
  if (session.Ended()) return kExitInterrupted;
  PrintHealthReports(app);
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
  session.Run([&] { RunBatchTasks(app); });
  if (session.Ended()) return kExitInterrupted;
  PrintHealthReports(app);
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
  if (options.version) {
    Print(stdout, VersionText("tarnlow-cli"));
    return kExitOk;
  }
  if (options.command.empty()) return UsageError("no command given");
  for (const Command& command : kCommands) {
    if (command.name == options.command) return command.run(options);
  }
  return UsageError("unknown command " + options.command);
}

}  // namespace tarnlow::cli

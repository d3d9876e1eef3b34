#include "cli/commands.h"

#include <cstdio>
#include <string>

#include "app/files.h"
#include "app/program_dir.h"
#include "app/version.h"
#include "chapters/clean_rules.h"
#include "chapters/extraction.h"
#include "cli/output.h"
#include "cli/session.h"
#include "commands/batch.h"
#include "commands/commands.h"
#include "commands/update_book.h"
#include "fetch/fetch_page.h"
#include "text/codepage.h"

namespace tarnlow::cli {
namespace {

constexpr Command kCommands[] = {
    {"fetch", FetchCommand}, {"contents", ContentsCommand}, {"preview", PreviewCommand},
    {"get", GetCommand},     {"batch", BatchCommand},       {"update", UpdateCommand},
};

int UsageError(std::string_view message) {
  Print(stderr, "tarnlow-cli: " + std::string(message) + "\nTry 'tarnlow-cli --help'.\n");
  return kExitUsage;
}

// The chapters of a saved book that have only their title.
void ReportFailedChapters(const std::vector<FailedChapter>& failed, const std::string& address) {
  if (failed.empty()) return;
  std::string text =
      Gbk<"下载失败的章节（书中只有标题）：">() + std::to_string(failed.size()) + Gbk<" 章">();
  if (!address.empty()) text += Gbk<"，链接：">() + address;
  text += "\n";
  for (const FailedChapter& chapter : failed) {
    text += "  " + std::to_string(chapter.number) + "\t" + chapter.title + "\n";
  }
  PrintGbk(stderr, text);
}

// Where the book went when the download folder refused it.
void ReportUnsaved(const ChapterRunReport& run) {
  if (run.outcome != ChapterRunReport::Outcome::NotSaved) return;
  std::string text = Gbk<"未能保存：">() + PathToGbk(run.path) + Gbk<"（">() +
                     ErrorText(run.saveError) + Gbk<"）">() + "\n";
  if (!run.rescuedPath.empty()) {
    text += Gbk<"全书已写入临时文件：">() + PathToGbk(run.rescuedPath) + "\n";
  }
  PrintGbk(stderr, text);
}

std::string BatchFailure(const BatchTaskResult& task) {
  if (!task.listed) return Gbk<"没有取得目录列表">();
  switch (task.chapters.outcome) {
    case ChapterRunReport::Outcome::Cancelled:
      return Gbk<"已取消">();
    case ChapterRunReport::Outcome::Saved:
      return {};
    default:
      return Gbk<"未能保存">();
  }
}

}  // namespace

std::span<const Command> Commands() { return kCommands; }

int FetchCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("fetch wants one address: fetch URL");
  const FetchResult fetched = FetchPage(options.arguments[0]);
  Print(stdout, GbkToUtf8(ShownText(fetched)) + "\n");
  return fetched.HasPage() ? kExitOk : kExitFailed;
}

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
  RuleFaultNotices notices(app);
  const RuleFaultHandler onRuleFault = [&notices](const std::string& rule, RuleFault fault) {
    notices(rule, fault);
  };
  const std::string text = ExtractChapterText(
      ShownText(fetched), session.model().GetBox(Box::TextBegin),
      session.model().GetBox(Box::TextEnd),
      {app.state.lineMode, rules.get(), app.state.autoText, &onRuleFault});
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
  const ChapterRunReport& run = app.lastRun;
  if (!saved || run.outcome != ChapterRunReport::Outcome::Saved) {
    ReportUnsaved(run);
    return kExitFailed;
  }
  Print(stdout, run.path.string() + "\n");
  ReportFailedChapters(run.failed, {});
  return run.failed.empty() ? kExitOk : kExitChaptersFailed;
}

int BatchCommand(const CliOptions& options) {
  Session session(options);
  if (!session.LibrariesPresent()) return kExitFailed;
  App& app = session.app();
  BatchSource source = BatchSource::Stored;
  if (options.arguments.empty()) {
    AcceptBatchList(app, StoredBatchText(app), true);
  } else {
    // Addresses for this run only: the user's stored list stays as it is.
    source = BatchSource::Given;
    std::string lines;
    for (const std::string& address : options.arguments) lines += address + "\r\n";
    app.batchTasks = ValidBatchLines(lines);
  }
  std::vector<BatchTaskResult> results;
  session.Run([&] { results = RunBatchTasks(app, source); });
  if (session.Ended()) return kExitInterrupted;
  PrintHealthReports(app);
  std::string saved;
  int status = results.empty() ? kExitFailed : kExitOk;
  for (const BatchTaskResult& task : results) {
    const std::string failure = BatchFailure(task);
    if (failure.empty()) {
      saved += task.chapters.path.string() + "\n";
      ReportFailedChapters(task.chapters.failed, task.address);
      if (!task.chapters.failed.empty() && status == kExitOk) status = kExitChaptersFailed;
      continue;
    }
    PrintGbk(stderr, Gbk<"批处理任务失败（">() + failure + Gbk<"）：">() + task.address + "\n");
    ReportUnsaved(task.chapters);
    status = kExitFailed;
  }
  Print(stdout, saved);
  return status;
}

int UpdateCommand(const CliOptions& options) {
  if (options.arguments.size() != 1) return UsageError("update wants one book file: update BOOK");
  Session session(options);
  if (!session.LibrariesPresent()) return kExitFailed;
  App& app = session.app();
  const std::filesystem::path book = GbkToPath(options.arguments[0]);
  UpdateResult result;
  session.Run([&] { result = UpdateBook(app, book); });
  if (session.Ended()) return kExitInterrupted;
  PrintHealthReports(app);
  switch (result.outcome) {
    case UpdateResult::Outcome::Updated:
    case UpdateResult::Outcome::NothingNew:
      Print(stdout, book.string() + "\n");
      return kExitOk;
    case UpdateResult::Outcome::NotUpdated:
      ReportFailedChapters(result.failed, {});
      return kExitFailed;
    default:
      return kExitFailed;
  }
}

namespace {

int RunCommandLine(const std::vector<std::string_view>& args) {
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

}  // namespace

int RunCli(const std::vector<std::string_view>& args) {
  GuardStandardStreams();
  const int status = RunCommandLine(args);
  if (const int error = StandardOutputError(); error != 0) {
    PrintGbk(stderr,
             Gbk<"tarnlow-cli: 无法写入标准输出（">() + ErrorText(error) + Gbk<"）">() + "\n");
    return kExitFailed;
  }
  return status;
}

}  // namespace tarnlow::cli

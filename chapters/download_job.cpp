#include "chapters/download_job.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/delay.h"
#include "app/retries.h"
#include "app/run_log.h"
#include "chapters/extraction.h"
#include "chapters/health_report.h"
#include "chapters/save_book.h"
#include "fetch/fetch_page.h"
#include "pool/worker_pool.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

constexpr int kPollMs = 200;

ChapterProgress ProgressOf(App& app, int taskNumber, const WorkerPool& pool,
                           const std::atomic<int>* cached) {
  ChapterProgress p;
  if (app.state.batchMode) {
    p.taskCount = static_cast<int>(app.batchTasks.size());
    p.taskNumber = taskNumber;
  }
  p.queued = pool.QueuedCount();
  p.reading = pool.BusyCount();
  p.failed = app.state.failedCount;
  if (cached != nullptr) p.cached = *cached;
  p.total = static_cast<int>(app.chapters.Size());
  p.done = p.total - p.queued - p.reading;
  return p;
}

// Unselects the finished items from the top of the selection, so that the
// selection marks the chapters in progress and the list follows the lowest
// unfinished one.
void SweepFinished(App& app) {
  WindowModel& model = app.model;
  int j = model.ListFirstSelected();
  while (j != -1 && app.chapters.HasText(static_cast<std::size_t>(j))) {
    model.ListSelect(j, false);
    model.ListSetItemText(j, Gbk<"完成：">() + app.chapters[static_cast<std::size_t>(j)].title);
    j = model.ListFirstSelected();
  }
  if (j != -1) model.ListSetTopItem(j);
}

bool Stopping(const App& app) { return app.state.cancelRequested || app.log.exitRequested; }

// The chapters whose text looks wrong, put in the log once and kept for the
// front end to show after the run; nothing when all look right or the report
// is off.
void ReportHealth(App& app, const std::vector<char>& marksMissing) {
  if (!app.settings.ReadFlag(keys::HealthReport)) return;
  std::vector<ChapterHealth> chapters;
  chapters.reserve(app.chapters.Size());
  for (std::size_t i = 0; i < app.chapters.Size(); ++i) {
    const ChapterEntry& e = app.chapters[i];
    chapters.push_back({e.title, e.text, i < marksMissing.size() && marksMissing[i] != 0});
  }
  std::string report = HealthReport(chapters);
  if (report.empty()) return;
  AddLogEntry(app, report + "\r\n\r\n");
  app.healthReports.push_back(std::move(report));
}

}  // namespace

ChapterRun CaptureChapterRun(App& app) {
  return {app.state.retryCount,
          app.state.delayMs,
          app.state.lineMode,
          app.state.autoText,
          app.model.GetBox(Box::TextBegin),
          app.model.GetBox(Box::TextEnd),
          app.model.GetBox(Box::SaveName),
          app.rules.Snapshot(),
          {}};
}

bool UsableChapterPage(const FetchResult& page) {
  return page.HasPage() && !page.text.empty() && !page.undecodable;
}

void FetchChapter(App& app, int chapterNumber, const ChapterRun& run) {
  WindowModel& model = app.model;
  const std::size_t index = static_cast<std::size_t>(chapterNumber - 1);
  const int item = chapterNumber - 1;
  // Titles and addresses do not change while a chapter run is going.
  const std::string& title = app.chapters[index].title;
  const std::string& url = app.chapters[index].url;

  model.ListSetItemText(item, Gbk<"正在读取：">() + title);
  model.ListSelect(item, true);
  SweepFinished(app);

  if (!app.chapters.HasText(index)) {
    // A chapter that starts after a cancel is not fetched at all, and one
    // whose page comes after it drops the page.
    RetryOptions retry;
    retry.attempts = run.retryCount + 1;
    retry.delayMs = run.delayMs;
    retry.stop = [&app] { return Stopping(app); };
    retry.usable = UsableChapterPage;
    retry.backOff = run.backOff;
    retry.onRetry = [&](int attempt) {
      model.ListSetItemText(item,
                            Gbk<"重试">() + std::to_string(attempt - 1) + Gbk<"：">() + title);
      model.ListSelect(item, true);
      model.ListSetTopItem(model.ListFirstSelected());
    };
    FetchResult fetched;
    std::optional<std::string> kept;
    if (run.cache != nullptr) kept = run.cache->Load(url);
    if (kept) {
      fetched.kind = FetchResult::Kind::Page;
      fetched.text = std::move(*kept);
      ++*run.cachedCount;
    } else {
      fetched = FetchWithRetries(url, retry);
      if (run.cache != nullptr && UsableChapterPage(fetched)) run.cache->Store(url, fetched.text);
    }
    if (fetched.kind == FetchResult::Kind::Cancelled) {
      model.ListSetItemText(item, Gbk<"已终止：">() + title);
      return;
    }
    model.SetAddressLabel("");
    if (!UsableChapterPage(fetched)) {
      ++app.state.failedCount;
      app.chapters.MarkFailed(index);
      app.log.AddEntry(Gbk<"取章节：失败！书名《">() + run.saveName + Gbk<"》，章节名《">() +
                           title + Gbk<"》，章节链接：">() + url + "\r\n\r\n",
                       "\r\n");
      return;
    }
    const TextOptions options{run.lineMode, run.rules.get(), run.autoText,
                              run.onRuleFault ? &run.onRuleFault : nullptr};
    ExtractedText extracted = ExtractChapter(fetched.text, run.textBegin, run.textEnd, options);
    if (run.marksMissing != nullptr) (*run.marksMissing)[index] = extracted.marksMissing;
    app.chapters.SetText(index, std::move(extracted.text));
  }
  model.ListSetItemText(item, Gbk<"完成：">() + title);
}

bool DownloadChapters(App& app, int taskNumber) {
  WindowModel& model = app.model;
  app.lastRun = {};
  app.chapters.ClearFailed();
  // A folder that cannot take the book is found before any chapter is
  // fetched, not after the whole download.
  if (!PrepareSave(app)) {
    app.lastRun.outcome = ChapterRunReport::Outcome::Refused;
    return false;
  }
  // Before the pool: its items hold a reference, so it must outlive them.
  RuleFaultNotices ruleNotices(app);
  ChapterRun run = CaptureChapterRun(app);
  run.onRuleFault = [&ruleNotices](const std::string& rule, RuleFault fault) {
    ruleNotices(rule, fault);
  };
  std::vector<char> marksMissing(app.chapters.Size(), 0);
  run.marksMissing = &marksMissing;
  std::optional<ChapterCache> cache;
  std::atomic<int> cachedCount{0};
  if (app.state.resume) {
    cache.emplace(app.programDir, model.GetBox(Box::Address));
    run.cache = &*cache;
    run.cachedCount = &cachedCount;
  }
  std::optional<BackOff> backOff;
  if (app.state.backOff) {
    backOff.emplace(app.state.threadCount, run.delayMs,
                    [&app](const std::string& line) { AddNotice(app, line); });
    run.backOff = &*backOff;
  }
  WorkerPool pool;
  if (!app.state.batchMode) model.SetTitle(Gbk<"处理中...">());
  model.SetStatus("", false);
  model.SetAddressLabel("");
  app.state.failedCount = 0;
  ruleNotices.CheckCompile(*run.rules);

  // When no thread starts, every Submit fails, the pool is idle at once and
  // the book is saved with the titles only.
  pool.Create(app.state.threadCount);
  const int total = static_cast<int>(app.chapters.Size());
  for (int c = 1; c <= total; ++c) {
    pool.Submit([&app, &run](int chapter, int) { FetchChapter(app, chapter, run); }, c);
  }

  for (;;) {
    // A chapter stopped by a cancel or a close has no text: such a run is
    // cancelled or closed below, never saved as a book with holes.
    if (pool.IsIdle() && !Stopping(app)) {
      pool.Close(0);
      // The last counts are shown before the save replaces them, so that the
      // last progress anyone saw is the run's result.
      model.ShowProgress(ProgressOf(app, taskNumber, pool, run.cachedCount));
      ReportHealth(app, marksMissing);
      model.SetStatus(Gbk<"\r\n 正在保存，请稍后...">(), true);
      const bool saved = app.saveOverride ? app.saveOverride(app) : SaveChapterList(app);
      // A book with failed chapters keeps the pages it has, so that the next
      // run fetches only the ones that failed.
      if (cache && saved && app.lastRun.failed.empty()) cache->Remove();
      return saved;
    }
    // The poll's wait ends early for a cancel, a close or the last chapter.
    WaitUnlessStopped(kPollMs, [&] { return Stopping(app) || pool.IsIdle(); });
    // Running chapters see the flags too: their transfers and waits end at
    // once, so the closing waits below are short.
    if (app.log.exitRequested) {
      const std::string stopping = Gbk<"\r\n 终止线程，请耐心等待...">();
      model.SetStatus(stopping, false);
      model.SetStatus(stopping + Gbk<"\r\n\r\n 稍后将结束程序！">(), true);
      pool.Close(0);
      app.lastRun.outcome = ChapterRunReport::Outcome::Cancelled;
      app.shell.EndProcess();
      return false;
    }
    if (app.state.cancelRequested) {
      model.SetStatus(Gbk<"\r\n 正在终止线程，请耐心等待...">(), true);
      AddLogEntry(app, Gbk<"已取消！文件《">() + model.GetBox(Box::SaveName) + Gbk<"》，链接：">() +
                           model.GetBox(Box::Address) + "\r\n\r\n");
      pool.Close(0);
      app.lastRun.outcome = ChapterRunReport::Outcome::Cancelled;
      app.state.cancelRequested = false;
      if (!app.state.batchMode) {
        app.state.busy = false;
        ResetMainWindow(app);
      }
      return false;
    }
    model.ShowProgress(ProgressOf(app, taskNumber, pool, run.cachedCount));
  }
}

}  // namespace tarnlow

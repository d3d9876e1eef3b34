#include "chapters/download_job.h"

#include <string>

#include "app/app.h"
#include "app/delay.h"
#include "app/run_log.h"
#include "chapters/extraction.h"
#include "chapters/save_book.h"
#include "fetch/fetch_page.h"
#include "fetch/http_client.h"
#include "pool/worker_pool.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

constexpr int kPollMs = 200;

std::string ProgressBlock(App& app, int taskNumber, const WorkerPool& pool) {
  const bool batch = app.state.batchMode;
  const int queued = pool.QueuedCount();
  const int busy = pool.BusyCount();
  const int failed = app.state.failedCount;
  const int total = static_cast<int>(app.chapters.Size());
  const auto n = [](long long v) { return std::to_string(v); };
  return Gbk<" 任务数量：">() + (batch ? n(static_cast<long long>(app.batchTasks.size())) : "1") +
         "\r\n" + Gbk<" 当前任务：">() + (batch ? n(taskNumber) : "1") + "\r\n" +
         Gbk<" 章节列表：">() + n(total) + "\r\n" + Gbk<" 剩余未读：">() + n(queued) + "\r\n" +
         Gbk<" 正在读取：">() + n(busy) + "\r\n" + Gbk<" 已读取数：">() + n(total - queued - busy) +
         "\r\n" + Gbk<" 读取失败：">() + n(failed) +
         Gbk<"   详情查看日志【帮助-日志】，每次执行将覆盖上一次日志记录，注意及时查看！">();
}

// Unselects the finished items from the top of the selection, so that the
// selection marks the chapters in progress and the list follows the lowest
// unfinished one.
void SweepFinished(App& app) {
  View& view = app.view;
  int j = view.ListFirstSelected();
  while (j != -1 && app.chapters.HasText(static_cast<std::size_t>(j))) {
    view.ListSelect(j, false);
    view.ListSetItemText(j, Gbk<"完成：">() + app.chapters[static_cast<std::size_t>(j)].title);
    j = view.ListFirstSelected();
  }
  if (j != -1) view.ListSetTopItem(j);
}

}  // namespace

void FetchChapter(App& app, int chapterNumber, const ChapterRunSettings& settings) {
  View& view = app.view;
  const std::size_t index = static_cast<std::size_t>(chapterNumber - 1);
  const int item = chapterNumber - 1;
  // Titles and addresses do not change while a chapter run is going.
  const std::string& title = app.chapters[index].title;
  const std::string& url = app.chapters[index].url;

  view.ListSetItemText(item, Gbk<"正在读取：">() + title);
  view.ListSelect(item, true);
  SweepFinished(app);

  if (!app.chapters.HasText(index)) {
    const std::string& marker = FetchFailedMarker();
    std::string page;
    const auto stopped = [&app] { return app.state.cancelRequested || app.log.exitRequested; };
    for (int attempt = 1; attempt <= settings.retryCount + 1; ++attempt) {
      // A chapter that starts after a cancel is not fetched at all.
      if (!stopped()) page = FetchPage(url);
      if (stopped()) {
        view.ListSetItemText(item, Gbk<"已终止：">() + title);
        return;
      }
      if (Find(page, marker) == -1) break;
      if (attempt > 1) {
        view.ListSetItemText(item,
                             Gbk<"重试">() + std::to_string(attempt - 1) + Gbk<"：">() + title);
        view.ListSelect(item, true);
        view.ListSetTopItem(view.ListFirstSelected());
      }
      Delay(settings.delayMs);
    }
    view.SetAddressLabel("");
    if (Find(page, marker) != -1) {
      ++app.state.failedCount;
      app.log.AddEntry(Gbk<"取章节：失败！书名《">() + view.GetBox(Box::SaveName) +
                           Gbk<"》，章节名《">() + title + Gbk<"》，章节链接：">() + url +
                           "\r\n\r\n",
                       "\r\n");
      return;
    }
    const auto rules = app.rules.Snapshot();
    const TextOptions options{settings.lineMode, rules.get(), settings.autoText};
    app.chapters.SetText(index, ExtractChapterText(page, view.GetBox(Box::TextBegin),
                                                   view.GetBox(Box::TextEnd), options));
  }
  view.ListSetItemText(item, Gbk<"完成：">() + title);
}

bool DownloadChapters(App& app, int taskNumber) {
  View& view = app.view;
  // Before the pool: its items hold a reference, so it must outlive them.
  const ChapterRunSettings settings{app.state.retryCount, app.state.delayMs, app.state.lineMode,
                                    app.state.autoText};
  WorkerPool pool([&view] { view.PumpEvents(); });
  if (!app.state.batchMode) view.SetTitle(Gbk<"处理中...">());
  view.SetStatus("", false);
  view.SetAddressLabel("");
  app.state.failedCount = 0;

  // When no thread starts, every Submit fails, the pool is idle at once and
  // the book is saved with the titles only.
  pool.Create(app.state.threadCount);
  const int total = static_cast<int>(app.chapters.Size());
  for (int c = 1; c <= total; ++c) {
    pool.Submit([&app, &settings](int chapter, int) { FetchChapter(app, chapter, settings); }, c);
    view.PumpEvents();
  }

  for (;;) {
    // A chapter stopped by a cancel or a close has no text: such a run is
    // cancelled or closed below, never saved as a book with holes.
    if (pool.IsIdle() && !app.state.cancelRequested && !app.log.exitRequested) {
      pool.Close(0);
      view.SetStatus(Gbk<"\r\n 正在保存，请稍后...">(), true);
      return SaveBook(app);
    }
    view.PumpEvents();
    Delay(kPollMs);
    if (app.log.exitRequested) {
      const std::string stopping = Gbk<"\r\n 终止线程，请耐心等待...">();
      view.SetStatus(stopping, false);
      view.SetStatus(stopping + Gbk<"\r\n\r\n 稍后将结束程序！">(), true);
      AbortRequestsInFlight();
      pool.Close(0);
      view.EndProcess();
      return false;
    }
    if (app.state.cancelRequested) {
      view.SetStatus(Gbk<"\r\n 正在终止线程，请耐心等待...">(), true);
      AddLogEntry(app, Gbk<"已取消！文件《">() + view.GetBox(Box::SaveName) + Gbk<"》，链接：">() +
                           view.GetBox(Box::Address) + "\r\n\r\n");
      // Chapters still waiting on a server end now instead of at its time-out.
      AbortRequestsInFlight();
      pool.Close(0);
      app.state.cancelRequested = false;
      if (!app.state.batchMode) {
        app.state.busy = false;
        ResetMainWindow(app);
      }
      return false;
    }
    view.SetStatus(ProgressBlock(app, taskNumber, pool), false);
  }
}

}  // namespace tarnlow

#include "contents/paging.h"

#include <unordered_set>
#include <utility>

#include "app/app.h"
#include "app/retries.h"
#include "app/run_log.h"
#include "contents/links.h"
#include "fetch/fetch_page.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {

PagingEnd FollowContentsPages(App& app, const ContentsRun& run, const std::string& firstPage) {
  WindowModel& model = app.model;
  // Addresses read in this run: a "下一页" that leads back to one of them
  // (a last page pointing at itself, two pages pointing at each other) ends
  // the paging instead of looping until the user cancels.
  std::unordered_set<std::string> read{run.address};
  std::string page = firstPage;
  int n = 1;
  for (;;) {
    const int at = FindLast(page, Gbk<"下一页">());
    if (at == -1) return PagingEnd::Finished;
    ++n;
    model.SetStatus(
        Gbk<"\r\n 检测到下一页，正在读取，请稍后... （第 ">() + std::to_string(n) + Gbk<" 页）">(),
        true);
    const std::string next = ResolveHref(run.address, page, true, at);
    if (next.empty() || !read.insert(next).second) return PagingEnd::Finished;

    RetryOptions retry;
    retry.attempts = run.attempts;
    retry.delayMs = run.delayMs;
    retry.stop = [&app] { return app.state.cancelRequested || app.log.exitRequested; };
    retry.onRetry = [&model, n](int attempt) {
      model.SetStatus(Gbk<"\r\n第 ">() + std::to_string(n) + Gbk<" 页目录访问失败！ 第 ">() +
                          std::to_string(attempt - 1) + Gbk<" 次重试！">(),
                      true);
    };
    FetchResult fetched = FetchWithRetries(next, retry);
    if (fetched.kind == FetchResult::Kind::Cancelled) {
      if (app.log.exitRequested) {
        app.shell.EndProcess();
        return PagingEnd::ProcessEnding;
      }
      // A cancel during paging keeps the links read so far.
      app.state.cancelRequested = false;
      return PagingEnd::Finished;
    }
    if (!fetched.HasPage()) {
      AddLogEntry(app, Gbk<"分页第">() + std::to_string(n) + Gbk<"页访问失败！ 链接：">() + next +
                           "\r\n\r\n");
      return PagingEnd::Finished;
    }
    page = std::move(fetched.text);
    std::vector<ChapterEntry>& entries = app.chapters.Entries();
    for (ChapterEntry& e : LinksBetweenMarks(run, page)) entries.push_back(std::move(e));
  }
}

}  // namespace tarnlow

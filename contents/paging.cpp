#include "contents/paging.h"

#include <unordered_set>

#include "app/app.h"
#include "app/delay.h"
#include "app/run_log.h"
#include "contents/contents_driver.h"
#include "contents/links.h"
#include "fetch/fetch_page.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {

PagingEnd FollowContentsPages(App& app, const std::string& firstPage) {
  View& view = app.view;
  const std::string& marker = FetchFailedMarker();
  // Addresses read in this run: a "下一页" that leads back to one of them
  // (a last page pointing at itself, two pages pointing at each other) ends
  // the paging instead of looping until the user cancels.
  std::unordered_set<std::string> read{view.GetBox(Box::Address)};
  std::string page = firstPage;
  int n = 1;
  for (;;) {
    const int at = FindLast(page, Gbk<"下一页">());
    if (at == -1) return PagingEnd::Finished;
    ++n;
    view.SetStatus(
        Gbk<"\r\n 检测到下一页，正在读取，请稍后... （第 ">() + std::to_string(n) + Gbk<" 页）">(),
        true);
    const std::string next = ResolveHref(view.GetBox(Box::Address), page, true, at);
    if (next.empty() || !read.insert(next).second) return PagingEnd::Finished;

    const int attempts = app.state.retryCount + 1;
    for (int i = 1; i <= attempts; ++i) {
      view.PumpEvents();
      page = FetchPage(next);
      if (app.log.exitRequested) {
        view.EndProcess();
        return PagingEnd::ProcessEnding;
      }
      if (app.state.cancelRequested) {
        app.state.cancelRequested = false;
        return PagingEnd::Finished;
      }
      if (Find(page, marker) == -1) break;
      if (i > 1) {
        view.SetStatus(Gbk<"\r\n第 ">() + std::to_string(n) + Gbk<" 页目录访问失败！ 第 ">() +
                           std::to_string(i - 1) + Gbk<" 次重试！">(),
                       true);
      }
      Delay(app.state.delayMs);
    }
    if (Find(page, marker) != -1) {
      AddLogEntry(app, Gbk<"分页第">() + std::to_string(n) + Gbk<"页访问失败！ 链接：">() + next +
                           "\r\n\r\n");
      return PagingEnd::Finished;
    }
    ExtractLinksBetweenMarks(app, page, firstPage);
  }
}

}  // namespace tarnlow

#include "contents/contents_driver.h"

#include <optional>

#include "app/app.h"
#include "app/delay.h"
#include "app/run_log.h"
#include "contents/auto_list.h"
#include "contents/book_info.h"
#include "contents/links.h"
#include "contents/paging.h"
#include "contents/renumber.h"
#include "contents/url.h"
#include "fetch/fetch_page.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

const std::string& Tip() { return Gbk<"提示">(); }

void LogWithAddress(App& app, const std::string& what) {
  AddLogEntry(app, what + app.view.GetBox(Box::Address) + "\r\n\r\n");
}

}  // namespace

bool ExtractLinksBetweenMarks(App& app, const std::string& page, std::string_view firstPage) {
  const std::string begin = app.view.GetBox(Box::ListBegin);
  if (begin.empty() && app.view.IsOptionOn(Option::AutoList)) {
    std::optional<FoundList> list = FindChapterList(firstPage.empty() ? page : firstPage);
    if (list && !firstPage.empty()) list = FindChapterList(page, list->markup);
    if (!list) return false;
    ExtractLinks(app, list->anchors);
  } else if (begin.empty()) {
    ExtractLinks(app, page);
  } else {
    ExtractLinks(app, TextBetween(page, begin, app.view.GetBox(Box::ListEnd), 0, false, true));
  }
  return true;
}

bool GetContents(App& app) {
  View& view = app.view;
  const bool batch = app.state.batchMode;

  const std::string address = view.GetBox(Box::Address);
  if (!IsSiteRoot(SiteRoot(address))) {
    view.ShowMessage(Gbk<"请输入网址，以 http 开头的网址！">(), Tip(), MessageIcon::Information);
    return false;
  }
  if (!EndsWithSlash(DirectoryPath(address))) {
    view.ShowMessage(Gbk<"该地址为主域名，不能处理！">(), Tip(), MessageIcon::Information);
    return false;
  }
  if (!view.GetBox(Box::ListBegin).empty() && view.GetBox(Box::ListEnd).empty()) {
    if (batch) {
      view.SetBox(Box::ListBegin, "");
      AddLogEntry(app, Gbk<"批处理： 启用自动取目录！\r\n\r\n">());
    } else {
      view.ShowMessage(Gbk<"请输入目录结束的标记">(), Tip(), MessageIcon::Information);
      view.FocusBox(Box::ListEnd);
      return false;
    }
  }

  view.SetStatus(Gbk<"\r\n 获取源码中，需要一些时间，请耐心等待！">(), true);

  const std::string& marker = FetchFailedMarker();
  std::string page;
  const int attempts = app.state.retryCount + 1;
  for (int i = 1; i <= attempts; ++i) {
    if (app.log.exitRequested) {
      view.EndProcess();
      return false;
    }
    if (app.state.cancelRequested) {
      app.state.cancelRequested = false;
      view.SetStatus(IdleHelpText(), false);
      LogWithAddress(app, Gbk<"已取消！ 链接：">());
      return false;
    }
    view.PumpEvents();
    page = FetchPage(view.GetBox(Box::Address));
    if (Find(page, marker) == -1) break;
    if (i > 1) {
      view.SetStatus(Gbk<"\r\n 网页访问失败！ 第 ">() + std::to_string(i - 1) + Gbk<" 次重试！">(),
                     true);
    }
    Delay(app.state.delayMs);
  }
  if (Find(page, marker) != -1) {
    if (batch) {
      LogWithAddress(app, Gbk<"批处理：目录访问失败！ 链接：">());
    } else {
      view.ShowMessage(page, Tip(), MessageIcon::Information);
    }
    view.SetStatus(IdleHelpText(), false);
    return false;
  }

  if (view.GetBox(Box::SaveName).empty()) {
    view.SetBox(Box::SaveName, DetectBookInfo(page, app.state.fileNameFormat));
  }
  // A first page in which the finder sees no chapter list ends the command
  // with the no-list message; its next pages are not read.
  const bool listFound = ExtractLinksBetweenMarks(app, page);

  if (listFound && view.IsOptionOn(Option::NextPage)) {
    view.SetStatus(Gbk<"\r\n 请稍后，正在寻找下页目录...">(), true);
    if (FollowContentsPages(app, page) == PagingEnd::ProcessEnding) return false;
    view.EnableCancel(true);
  }

  RemoveDuplicateUrls(app);

  if (view.IsOptionOn(Option::CleanDubious)) {
    if (view.GetBox(Box::ListBegin).empty() || !view.IsOptionOn(Option::KeepDubiousWithMarks)) {
      CleanDubiousLinks(app);
    }
  }

  if (listFound && !app.chapters.Empty()) {
    if (app.state.cancelRequested) {
      app.state.cancelRequested = false;
      view.SetStatus(IdleHelpText(), false);
      LogWithAddress(app, Gbk<"已取消！ 链接：">());
      return false;
    }
    if (view.IsOptionOn(Option::Renumber)) {
      RenumberTitles(app);
    } else {
      view.ListClear();
      for (const ChapterEntry& e : app.chapters.Entries()) view.ListAdd(e.title);
    }
    view.SetExecuteCaption(CaptionChapters());
    view.SetStatus(page, false);
    return true;
  }

  if (batch) {
    LogWithAddress(app, Gbk<"批处理： 找不到目录！ 链接：">());
  } else {
    view.ShowMessage(Gbk<"没有找到目录列表，建议重试！！">(), Tip(), MessageIcon::Information);
  }
  return false;
}

}  // namespace tarnlow

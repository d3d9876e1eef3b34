#include "contents/contents_driver.h"

#include <utility>

#include "app/app.h"
#include "app/retries.h"
#include "app/run_log.h"
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
  AddLogEntry(app, what + app.model.GetBox(Box::Address) + "\r\n\r\n");
}

// The user's cancel, honoured: the window goes back to its help text.
void Cancelled(App& app) {
  app.state.cancelRequested = false;
  app.model.SetStatus(IdleHelpText(), false);
  LogWithAddress(app, Gbk<"已取消！ 链接：">());
}

void ShowList(WindowModel& model, const std::vector<ChapterEntry>& entries) {
  std::vector<std::string> titles;
  titles.reserve(entries.size());
  for (const ChapterEntry& e : entries) titles.push_back(e.title);
  model.ListSetAll(std::move(titles));
}

}  // namespace

std::vector<ChapterEntry> LinksBetweenMarks(const ContentsRun& run, std::string_view page) {
  if (run.listBegin.empty()) return ExtractLinks(page, run.address);
  return ExtractLinks(TextBetween(page, run.listBegin, run.listEnd, 0, false, true), run.address);
}

bool GetContents(App& app) {
  WindowModel& model = app.model;
  const bool batch = app.state.batchMode;

  const std::string address = model.GetBox(Box::Address);
  if (!IsSiteRoot(SiteRoot(address))) {
    app.shell.ShowMessage(Gbk<"请输入网址，以 http 开头的网址！">(), Tip(),
                          MessageIcon::Information);
    return false;
  }
  if (!EndsWithSlash(DirectoryPath(address))) {
    app.shell.ShowMessage(Gbk<"该地址为主域名，不能处理！">(), Tip(), MessageIcon::Information);
    return false;
  }
  if (!model.GetBox(Box::ListBegin).empty() && model.GetBox(Box::ListEnd).empty()) {
    if (batch) {
      model.SetBox(Box::ListBegin, "");
      AddLogEntry(app, Gbk<"批处理： 启用自动取目录！\r\n\r\n">());
    } else {
      app.shell.ShowMessage(Gbk<"请输入目录结束的标记">(), Tip(), MessageIcon::Information);
      model.FocusBox(Box::ListEnd);
      return false;
    }
  }
  const ContentsRun run{address, model.GetBox(Box::ListBegin), model.GetBox(Box::ListEnd),
                        app.state.retryCount + 1, app.state.delayMs};

  model.SetStatus(Gbk<"\r\n 获取源码中，需要一些时间，请耐心等待！">(), true);

  // A cancel is honoured before each attempt; a close also drops the page
  // under way, as the process ends anyway.
  RetryOptions retry;
  retry.attempts = run.attempts;
  retry.delayMs = run.delayMs;
  retry.stop = [&app] { return app.state.cancelRequested || app.log.exitRequested; };
  retry.stopFetch = [&app] { return app.log.exitRequested.load(); };
  retry.onRetry = [&model](int attempt) {
    model.SetStatus(
        Gbk<"\r\n 网页访问失败！ 第 ">() + std::to_string(attempt - 1) + Gbk<" 次重试！">(), true);
  };
  FetchResult fetched = FetchWithRetries(address, retry);
  if (fetched.kind == FetchResult::Kind::Cancelled) {
    if (app.log.exitRequested) {
      app.shell.EndProcess();
    } else {
      Cancelled(app);
    }
    return false;
  }
  if (!fetched.HasPage()) {
    if (batch) {
      LogWithAddress(app, Gbk<"批处理：目录访问失败！ 链接：">());
    } else {
      app.shell.ShowMessage(ShownText(fetched), Tip(), MessageIcon::Information);
    }
    model.SetStatus(IdleHelpText(), false);
    return false;
  }
  const std::string page = std::move(fetched.text);

  if (model.GetBox(Box::SaveName).empty()) {
    model.SetBox(Box::SaveName, DetectBookInfo(page, app.state.fileNameFormat));
  }
  std::vector<ChapterEntry>& entries = app.chapters.Entries();
  for (ChapterEntry& e : LinksBetweenMarks(run, page)) entries.push_back(std::move(e));

  if (model.IsOptionOn(Option::NextPage)) {
    model.SetStatus(Gbk<"\r\n 请稍后，正在寻找下页目录...">(), true);
    if (FollowContentsPages(app, run, page) == PagingEnd::ProcessEnding) return false;
    model.EnableCancel(true);
  }

  RemoveDuplicateUrls(entries);

  if (model.IsOptionOn(Option::CleanDubious)) {
    if (run.listBegin.empty() || !model.IsOptionOn(Option::KeepDubiousWithMarks)) {
      app.state.dubiousCleaned = true;
      CleanDubiousLinks(entries, app.settings.Read(keys::Keyword));
    }
  }

  if (!entries.empty()) {
    if (app.state.cancelRequested) {
      Cancelled(app);
      return false;
    }
    if (model.IsOptionOn(Option::Renumber)) {
      app.state.numberingFormatted = true;
      RenumberTitles(entries);
    }
    ShowList(model, entries);
    model.SetExecuteCaption(CaptionChapters());
    model.SetStatus(page, false);
    return true;
  }

  if (batch) {
    LogWithAddress(app, Gbk<"批处理： 找不到目录！ 链接：">());
  } else {
    app.shell.ShowMessage(Gbk<"没有找到目录列表，建议重试！！">(), Tip(), MessageIcon::Information);
  }
  return false;
}

}  // namespace tarnlow

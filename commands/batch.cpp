#include "commands/batch.h"

#include "app/app.h"
#include "app/run_log.h"
#include "chapters/download_job.h"
#include "contents/contents_driver.h"
#include "contents/url.h"
#include "text/codepage.h"
#include "text/text.h"
#include "text/text_buffer.h"

namespace tarnlow {
namespace {

std::string JoinTasks(const std::vector<std::string>& tasks, std::size_t from) {
  std::string stored;
  for (std::size_t i = from; i < tasks.size(); ++i) stored += tasks[i] + "||";
  return stored;
}

bool IsStored(App& app, std::string_view address) {
  for (const std::string& stored : Split(app.settings.Read(keys::Webs), "||")) {
    if (stored == address) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ValidBatchLines(std::string_view editText) {
  std::vector<std::string> valid;
  for (std::string& line : Split(editText, "\r\n")) {
    if (IsSiteRoot(SiteRoot(line))) valid.push_back(std::move(line));
  }
  return valid;
}

void AcceptBatchList(App& app, std::string_view editText, bool run) {
  const std::vector<std::string> valid = ValidBatchLines(editText);
  if (run) app.batchTasks.insert(app.batchTasks.end(), valid.begin(), valid.end());
  app.settings.Write(keys::Webs, JoinTasks(valid, 0));
}

std::string StoredBatchText(App& app) {
  TextBuffer lines(app.settings.Read(keys::Webs));
  lines.ReplaceAll("||", "\r\n");
  return lines.Text();
}

std::string BatchDialogText(App& app) {
  const std::string stored = StoredBatchText(app);
  const std::string address = app.model.GetBox(Box::Address);
  if (address.empty()) return stored;
  for (const std::string& line : Split(stored, "\r\n")) {
    if (line == address) return stored;
  }
  return stored + address + "\r\n";
}

bool IsNewBatchAddress(App& app, std::string_view text) {
  // One line of config.ini holds the stored list: a copied text with a line
  // break in it (a line copied with its end) could not be stored.
  if (text.empty() || text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return false;
  if (!IsSiteRoot(SiteRoot(text)) || !EndsWithSlash(DirectoryPath(text))) return false;
  if (app.model.GetBox(Box::Address) == text) return false;
  return !IsStored(app, text);
}

bool AddBatchAddress(App& app, std::string_view address) {
  if (IsStored(app, address)) return false;
  return app.settings.Write(keys::Webs,
                            app.settings.Read(keys::Webs) + std::string(address) + "||");
}

std::vector<BatchTaskResult> RunBatchTasks(App& app, BatchSource source) {
  WindowModel& model = app.model;
  const std::vector<std::string> tasks = app.batchTasks;
  std::vector<BatchTaskResult> results;
  if (tasks.empty()) {
    app.shell.ShowMessage(Gbk<"任务无效！">(), Gbk<"提示">(), MessageIcon::Information);
    return results;
  }
  const auto storeTasksFrom = [&](std::size_t from) {
    if (source == BatchSource::Stored) app.settings.Write(keys::Webs, JoinTasks(tasks, from));
  };

  ClearLog(app);
  app.healthReports.clear();
  model.SetBox(Box::Address, "");
  model.EnableBatchMenu(false);
  app.state.busy = true;
  app.state.batchMode = true;
  model.EnableExecute(false);
  for (Box box :
       {Box::ListBegin, Box::ListEnd, Box::TextBegin, Box::TextEnd, Box::Address, Box::SaveName}) {
    model.EnableBox(box, false);
  }
  model.SetTitle(Gbk<"批处理 - ">() + WindowTitle());

  for (std::size_t t = 1; t <= tasks.size(); ++t) {
    model.EnableCancel(true);
    // A cancel belongs to the task it came in; one the contents command left
    // standing (its fetch failed or found nothing) must not end this task.
    app.state.cancelRequested = false;
    model.SetBox(Box::Address, tasks[t - 1]);
    BatchTaskResult& result = results.emplace_back();
    result.address = tasks[t - 1];
    result.listed = GetContents(app);
    if (result.listed) {
      DownloadChapters(app, static_cast<int>(t));
      result.chapters = app.lastRun;
    }
    // The window is closing: the stored list keeps this task and the later
    // ones. The commands may have returned without ending the process when
    // the close came during their last wait.
    if (app.log.exitRequested) {
      app.shell.EndProcess();
      return results;
    }
    model.ListClear();
    app.chapters.Clear();
    model.SetBox(Box::SaveName, "");
    storeTasksFrom(t);
  }

  storeTasksFrom(tasks.size());
  app.batchTasks.clear();
  app.state.batchMode = false;
  app.state.busy = false;
  model.SetBox(Box::Address, "");
  ResetMainWindow(app);
  SaveLogFile(app);
  model.EnableBox(Box::SaveName, true);
  return results;
}

}  // namespace tarnlow

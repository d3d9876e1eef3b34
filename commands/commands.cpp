#include "commands/commands.h"

#include "app/app.h"
#include "app/run_log.h"
#include "chapters/download_job.h"
#include "contents/contents_driver.h"

namespace tarnlow {
namespace {

void EnableContentsInputs(WindowModel& model, bool enabled) {
  model.EnableBox(Box::Address, enabled);
  model.EnableBatchMenu(enabled);
  model.EnableBox(Box::ListBegin, enabled);
  model.EnableBox(Box::ListEnd, enabled);
}

// A close pressed during the command's last wait is not always seen by the
// command itself (its fetch had already begun); the window still has to end,
// or it stays busy and refuses every later close.
bool EndForClose(App& app) {
  app.shell.EndProcess();
  return false;
}

}  // namespace

bool ExecuteCommand(App& app) {
  WindowModel& model = app.model;
  if (app.state.busy) return false;
  // A cancel pressed while idle resets the window instead, so a request still
  // standing here came too late for the last command (its fetch failed or
  // found nothing first); it must not end this one before it starts.
  app.state.cancelRequested = false;
  app.state.busy = true;
  model.EnableExecute(false);
  ClearLog(app);
  app.healthReports.clear();

  bool result;
  if (model.ExecuteCaption() == CaptionContents()) {
    EnableContentsInputs(model, false);
    model.EnableCancel(true);
    result = GetContents(app);
    if (app.log.exitRequested) return EndForClose(app);
    if (!result) {
      EnableContentsInputs(model, true);
      model.EnableCancel(false);
    }
    app.state.busy = false;
  } else {
    model.EnableBox(Box::TextBegin, false);
    model.EnableBox(Box::TextEnd, false);
    result = DownloadChapters(app, 0);
    if (app.log.exitRequested) return EndForClose(app);
    if (result) {
      model.SetBox(Box::Address, "");
      app.state.busy = false;
      ResetMainWindow(app);
      // The health report stays in view under the help text until the next
      // command, so the reader sees where to look in the saved book.
      if (!app.healthReports.empty()) {
        model.SetStatus(IdleHelpText() + "\r\n\r\n" + app.healthReports.back(), false);
      }
    } else {
      model.EnableBox(Box::TextBegin, true);
      model.EnableBox(Box::TextEnd, true);
      app.state.busy = false;
    }
    SaveLogFile(app);
  }
  model.EnableExecute(true);
  return result;
}

void CancelOrReset(App& app) {
  if (app.state.busy) {
    app.model.EnableCancel(false);
    app.model.SetStatus(CancellingText(), true);
    app.state.cancelRequested = true;
  } else if (!app.state.commandRunning) {
    ResetMainWindow(app);
  }
}

bool QueryClose(App& app) {
  if (app.state.busy || app.state.commandRunning) {
    app.log.exitRequested = true;
    return false;
  }
  return true;
}

}  // namespace tarnlow

#include "app/commands.h"

#include "app/app.h"
#include "app/run_log.h"
#include "chapters/download_job.h"
#include "contents/contents_driver.h"

namespace tarnlow {
namespace {

void EnableContentsInputs(View& view, bool enabled) {
  view.EnableBox(Box::Address, enabled);
  view.EnableBatchMenu(enabled);
  view.EnableBox(Box::ListBegin, enabled);
  view.EnableBox(Box::ListEnd, enabled);
}

// A close pressed during the command's last wait is not always seen by the
// command itself (its fetch had already begun); the window still has to end,
// or it stays busy and refuses every later close.
bool EndForClose(View& view) {
  view.EndProcess();
  return false;
}

}  // namespace

bool ExecuteCommand(App& app) {
  View& view = app.view;
  if (app.state.busy) return false;
  // A cancel pressed while idle resets the window instead, so a request still
  // standing here came too late for the last command (its fetch failed or
  // found nothing first); it must not end this one before it starts.
  app.state.cancelRequested = false;
  app.state.busy = true;
  view.EnableExecute(false);
  ClearLog(app);
  view.PumpEvents();

  bool result;
  if (view.ExecuteCaption() == CaptionContents()) {
    EnableContentsInputs(view, false);
    view.EnableCancel(true);
    result = GetContents(app);
    if (app.log.exitRequested) return EndForClose(view);
    if (!result) {
      EnableContentsInputs(view, true);
      view.EnableCancel(false);
    }
    app.state.busy = false;
  } else {
    view.EnableBox(Box::TextBegin, false);
    view.EnableBox(Box::TextEnd, false);
    result = DownloadChapters(app, 0);
    if (app.log.exitRequested) return EndForClose(view);
    if (result) {
      view.SetBox(Box::Address, "");
      app.state.busy = false;
      ResetMainWindow(app);
    } else {
      view.EnableBox(Box::TextBegin, true);
      view.EnableBox(Box::TextEnd, true);
      app.state.busy = false;
    }
    SaveLogFile(app);
  }
  view.EnableExecute(true);
  return result;
}

void CancelOrReset(App& app) {
  if (app.state.busy) {
    app.view.EnableCancel(false);
    app.view.SetStatus(CancellingText(), true);
    app.state.cancelRequested = true;
  } else {
    ResetMainWindow(app);
  }
}

bool QueryClose(App& app) {
  if (app.state.busy) {
    app.log.exitRequested = true;
    return false;
  }
  return true;
}

}  // namespace tarnlow

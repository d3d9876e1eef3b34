#include "app/app.h"

#include <algorithm>
#include <climits>
#include <system_error>

#include "app/program_dir.h"
#include "app/run_log.h"
#include "text/codepage.h"

namespace tarnlow {

namespace {

// The clipboard watcher's period whenever it runs.
constexpr int kClipboardPeriodMs = 500;

int ToInt(long long value) {
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

const std::string& WindowTitle() { return Gbk<"Tarnlow  2.08.03">(); }
const std::string& CaptionContents() { return Gbk<"取目录列表">(); }
const std::string& CaptionChapters() { return Gbk<"取章节保存">(); }

void ResetMainWindow(App& app) {
  View& view = app.view;
  view.SetBox(Box::SaveName, "");
  view.SetAddressLabel("");
  view.SetStatus(IdleHelpText(), false);

  view.ListClear();
  app.chapters.Clear();

  view.EnableBox(Box::Address, true);
  view.SetExecuteCaption(CaptionContents());
  view.EnableExecute(true);
  for (Box box : {Box::ListEnd, Box::ListBegin, Box::TextEnd, Box::TextBegin, Box::SaveName})
    view.EnableBox(box, true);
  view.EnableBatchMenu(true);
  view.EnableCancel(false);

  app.state.dubiousCleaned = false;
  app.state.numberingFormatted = false;
  view.SetTitle(WindowTitle());

  if (view.IsOptionOn(Option::MonitorClip)) view.SetClipboardTimer(kClipboardPeriodMs);
  view.PumpEvents();
}

void ApplyStartupSettings(App& app) {
  View& view = app.view;
  const Settings& settings = app.settings;
  RunState& state = app.state;

  view.SetOption(Option::KeepDubiousWithMarks, settings.ReadFlag(keys::OffCleanDubiousList));
  view.SetOption(Option::CleanDubious, settings.ReadFlag(keys::CleanDubiousList));
  view.SetOption(Option::Renumber, settings.ReadFlag(keys::AddNum));
  const bool monitorClip = settings.ReadFlag(keys::MonitorClip);
  view.SetOption(Option::MonitorClip, monitorClip);
  if (monitorClip) view.SetClipboardTimer(kClipboardPeriodMs);
  view.SetOption(Option::AutoMonitorClip, settings.ReadFlag(keys::AutoMonitorClip));
  view.SetOption(Option::NextPage, settings.ReadFlag(keys::GetNextPage));

  state.delayMs = ToInt(settings.ReadInteger(keys::Delay));
  view.SetBox(Box::DelayMs, std::to_string(state.delayMs));
  state.retryCount = ToInt(settings.ReadInteger(keys::Retry));
  view.SetBox(Box::Retry, std::to_string(state.retryCount));

  view.SetOption(Option::OnTop, settings.ReadFlag(keys::OnTop));

  // Only a folder can receive the book files; anything else falls back to
  // the program's own Download folder, which ships with the program and is
  // never created here (a missing one makes the save fail with its message).
  const std::string download = settings.Read(keys::Download);
  const std::filesystem::path downloadPath = GbkToPath(download);
  std::error_code error;
  if (!download.empty() && std::filesystem::is_directory(downloadPath, error))
    state.downloadFolder = downloadPath.string();
  else
    state.downloadFolder = (app.programDir / "Download").string();

  // Numbers outside the menus' choices are kept as they are: the menu checks
  // its first item, the commands see the stored number.
  state.fileNameFormat = ToInt(settings.ReadInteger(keys::AuthorBookName));
  state.lineMode = ToInt(settings.ReadInteger(keys::LineMode));
  state.autoText = settings.ReadFlag(keys::AutoText);

  view.SetBox(Box::Address, settings.Read(keys::Website));
  view.SetBox(Box::ListBegin, settings.Read(keys::ListTagBegin));
  view.SetBox(Box::ListEnd, settings.Read(keys::ListTagEnd));
  view.SetBox(Box::TextBegin, settings.Read(keys::TextBegin));
  view.SetBox(Box::TextEnd, settings.Read(keys::TextEnd));

  app.log.uiFont.name = settings.Read(keys::FontName);
  app.log.uiFont.size = ToInt(settings.ReadInteger(keys::FontSize));

  state.threadCount = ToInt(settings.ReadInteger(keys::Thread));
}

}  // namespace tarnlow

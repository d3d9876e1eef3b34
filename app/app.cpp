#include "app/app.h"

#include <algorithm>
#include <climits>
#include <system_error>
#include <utility>

#include "app/files.h"
#include "app/program_dir.h"
#include "app/run_log.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {

namespace {

int ToInt(long long value) {
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

const std::string& WindowTitle() { return Gbk<"Tarnlow  2.08.03">(); }
const std::string& CaptionContents() { return Gbk<"取目录列表">(); }
const std::string& CaptionChapters() { return Gbk<"取章节保存">(); }

void ResetMainWindow(App& app) {
  WindowModel& model = app.model;
  model.SetBox(Box::SaveName, "");
  model.SetAddressLabel("");
  model.SetStatus(IdleHelpText(), false);

  model.ListClear();
  app.chapters.Clear();

  model.EnableBox(Box::Address, true);
  model.SetExecuteCaption(CaptionContents());
  model.EnableExecute(true);
  for (Box box : {Box::ListEnd, Box::ListBegin, Box::TextEnd, Box::TextBegin, Box::SaveName})
    model.EnableBox(box, true);
  model.EnableBatchMenu(true);
  model.EnableCancel(false);

  app.state.dubiousCleaned = false;
  app.state.numberingFormatted = false;
  model.SetTitle(WindowTitle());

  if (model.IsOptionOn(Option::MonitorClip)) model.SetClipboardTimer(kClipboardPeriodMs);
}

void ApplyStartupSettings(App& app) {
  WindowModel& model = app.model;
  const Settings& settings = app.settings;
  RunState& state = app.state;

  // Every read below then gives its default, as with no file at all.
  const FileBytes file = ReadFileBytes(settings.FilePath());
  if (file.state == FileBytes::State::Failed) {
    AddNotice(app, UnreadableFileNotice(settings.FilePath().filename().string(), file.error));
  }

  model.SetOption(Option::KeepDubiousWithMarks, settings.ReadFlag(keys::OffCleanDubiousList));
  model.SetOption(Option::CleanDubious, settings.ReadFlag(keys::CleanDubiousList));
  model.SetOption(Option::Renumber, settings.ReadFlag(keys::AddNum));
  const bool monitorClip = settings.ReadFlag(keys::MonitorClip);
  model.SetOption(Option::MonitorClip, monitorClip);
  if (monitorClip) model.SetClipboardTimer(kClipboardPeriodMs);
  model.SetOption(Option::AutoMonitorClip, settings.ReadFlag(keys::AutoMonitorClip));
  model.SetOption(Option::NextPage, settings.ReadFlag(keys::GetNextPage));
  model.SetOption(Option::AutoList, settings.ReadFlag(keys::AutoList));
  model.SetOption(Option::AutoText, settings.ReadFlag(keys::AutoText));
  model.SetOption(Option::HealthReport, settings.ReadFlag(keys::HealthReport));

  state.delayMs = ToInt(settings.ReadInteger(keys::Delay));
  model.SetBox(Box::DelayMs, std::to_string(state.delayMs));
  state.retryCount = ToInt(settings.ReadInteger(keys::Retry));
  model.SetBox(Box::Retry, std::to_string(state.retryCount));

  model.SetOption(Option::OnTop, settings.ReadFlag(keys::OnTop));

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
  state.resume = settings.ReadFlag(keys::Resume);
  state.backOff = settings.ReadFlag(keys::BackOff);

  model.SetBox(Box::Address, settings.Read(keys::Website));
  model.SetBox(Box::ListBegin, settings.Read(keys::ListTagBegin));
  model.SetBox(Box::ListEnd, settings.Read(keys::ListTagEnd));
  model.SetBox(Box::TextBegin, settings.Read(keys::TextBegin));
  model.SetBox(Box::TextEnd, settings.Read(keys::TextEnd));

  app.log.uiFont.name = settings.Read(keys::FontName);
  app.log.uiFont.size = ToInt(settings.ReadInteger(keys::FontSize));

  state.threadCount = ToInt(settings.ReadInteger(keys::Thread));
}

void BindBoxesToSettings(App& app) {
  // Every box but the save name keeps its content in a setting.
  static const std::pair<Box, const SettingKey*> kSaved[] = {
      {Box::Address, &keys::Website},    {Box::ListBegin, &keys::ListTagBegin},
      {Box::ListEnd, &keys::ListTagEnd}, {Box::TextBegin, &keys::TextBegin},
      {Box::TextEnd, &keys::TextEnd},    {Box::Retry, &keys::Retry},
      {Box::DelayMs, &keys::Delay},
  };
  app.model.SetBoxHandler([&app](Box box, const std::string& text) {
    if (box == Box::Retry) app.state.retryCount = ToInt(SettingToInteger(text));
    if (box == Box::DelayMs) app.state.delayMs = ToInt(SettingToInteger(text));
    for (const auto& [saved, key] : kSaved) {
      if (saved == box) app.settings.Write(*key, text);
    }
  });
}

}  // namespace tarnlow

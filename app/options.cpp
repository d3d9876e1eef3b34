#include "app/options.h"

#include <string>

#include "app/app.h"

namespace tarnlow {

namespace {

std::atomic<int>& RadioField(RunState& state, RadioGroup group) {
  return group == RadioGroup::FileNameFormat ? state.fileNameFormat : state.lineMode;
}

int RadioValue(const RunState& state, RadioGroup group) {
  return group == RadioGroup::FileNameFormat ? state.fileNameFormat.load() : state.lineMode.load();
}

const SettingKey& RadioKey(RadioGroup group) {
  return group == RadioGroup::FileNameFormat ? keys::AuthorBookName : keys::LineMode;
}

}  // namespace

const SettingKey& OptionKey(Option option) {
  switch (option) {
    case Option::NextPage:
      return keys::GetNextPage;
    case Option::CleanDubious:
      return keys::CleanDubiousList;
    case Option::KeepDubiousWithMarks:
      return keys::OffCleanDubiousList;
    case Option::Renumber:
      return keys::AddNum;
    case Option::MonitorClip:
      return keys::MonitorClip;
    case Option::AutoMonitorClip:
      return keys::AutoMonitorClip;
    case Option::OnTop:
      return keys::OnTop;
    case Option::AutoList:
      return keys::AutoList;
    case Option::AutoText:
      return keys::AutoText;
    case Option::HealthReport:
      return keys::HealthReport;
  }
  return keys::AutoList;  // not reached: every option is listed
}

void ToggleOption(App& app, Option option) {
  const bool on = !app.model.IsOptionOn(option);
  app.model.SetOption(option, on);
  app.settings.Write(OptionKey(option), on ? "1" : "0");
  if (option == Option::MonitorClip) app.model.SetClipboardTimer(on ? kClipboardPeriodMs : 0);
  // Chapter runs read this one from the run state, not the settings file.
  if (option == Option::AutoText) app.state.autoText = on;
}

int RadioItemCount(RadioGroup group) { return group == RadioGroup::FileNameFormat ? 5 : 3; }

int CheckedRadioItem(const App& app, RadioGroup group) {
  const int value = RadioValue(app.state, group);
  return value >= 0 && value < RadioItemCount(group) ? value : 0;
}

void ChooseRadioItem(App& app, RadioGroup group, int item) {
  if (item < 0 || item >= RadioItemCount(group) || item == CheckedRadioItem(app, group)) return;
  RadioField(app.state, group) = item;
  app.settings.Write(RadioKey(group), std::to_string(item));
}

}  // namespace tarnlow

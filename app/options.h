#pragma once
// The menus' option toggles and radio groups: each change is written to its
// setting at once, key by key; nothing is kept apart from the window model's
// check marks and the run records.

#include "app/settings.h"
#include "app/window_model.h"

namespace tarnlow {

struct App;

// The setting that keeps an option's check mark.
const SettingKey& OptionKey(Option option);

// A toggle item chosen: inverts the check mark and writes "1" or "0". 监视剪辑版
// also starts or stops the clipboard watcher.
void ToggleOption(App& app, Option option);

enum class RadioGroup {
  FileNameFormat,  // 文件名格式: 文件名, 作者 - 文件名, 作者-文件名, 作者 _ 文件名, 作者_文件名
  LineMode,        // 内容换行: 默认换行 <br />, 不换行, 在句号处换行
};

int RadioItemCount(RadioGroup group);

// The item that carries the check mark: the run's number, or the first item
// when the number (read from the settings) is none of the group's.
int CheckedRadioItem(const App& app, RadioGroup group);

// A radio item chosen: nothing when it is checked already; otherwise the run
// takes its number and the setting is written.
void ChooseRadioItem(App& app, RadioGroup group, int item);

}  // namespace tarnlow

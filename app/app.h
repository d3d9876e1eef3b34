#pragma once
// Everything one running program holds: the run records, the chapter list,
// the clean rules, the batch list, the settings file, the window model it
// shows and the shell that reaches the person. The desktop program and the
// command-line program each make one; tests make as many as they like.

#include <filesystem>
#include <string>
#include <vector>

#include "app/records.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/window_model.h"

namespace tarnlow {

struct App {
  App(WindowModel& model, Shell& shell, std::filesystem::path programDir)
      : model(model), shell(shell), programDir(programDir), settings(programDir) {}

  WindowModel& model;
  Shell& shell;
  std::filesystem::path programDir;
  Settings settings;
  RunState state;
  RunLog log;
  ChapterList chapters;
  CleanRules rules;
  std::vector<std::string> batchTasks;            // GBK addresses of the coming batch run
  std::vector<std::filesystem::path> savedBooks;  // book files written, oldest first
};

// The clipboard watcher's period whenever it runs.
inline constexpr int kClipboardPeriodMs = 500;

// Window title and the execute button's two captions.
const std::string& WindowTitle();
const std::string& CaptionContents();  // 取目录列表
const std::string& CaptionChapters();  // 取章节保存

// Returns the main window to idle: empties the save name, the address label,
// the list box and the chapter list; enables the inputs; caption 取目录列表.
void ResetMainWindow(App& app);

// What the main window does with the settings when it is created: reads the
// keys in their order into the run records, the boxes and the option toggles
// of the model, applying the start-up clamps.
void ApplyStartupSettings(App& app);

// The desktop window's box handler: every change of the address box and the
// four mark boxes is saved to its setting, and the retry and milliseconds
// boxes also set the run's retry count and wait. Installed before
// ApplyStartupSettings, it saves what start-up put in the boxes, clamped
// values included. The command-line program installs none: its overrides are
// never written back.
void BindBoxesToSettings(App& app);

}  // namespace tarnlow

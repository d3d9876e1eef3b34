#pragma once
// Everything one running program holds: the run records, the chapter list,
// the clean rules, the batch list, the settings file and the window it talks
// to. The desktop program and the command-line program each make one; tests
// make as many as they like.

#include <filesystem>
#include <string>
#include <vector>

#include "app/records.h"
#include "app/settings.h"
#include "app/view.h"
#include "chapters/clean_rules.h"

namespace tarnlow {

struct App {
  App(View& view, std::filesystem::path programDir)
      : view(view), programDir(programDir), settings(programDir) {}

  View& view;
  std::filesystem::path programDir;
  Settings settings;
  RunState state;
  RunLog log;
  ChapterList chapters;
  CleanRules rules;
  std::vector<std::string> batchTasks;            // GBK addresses of the coming batch run
  std::vector<std::filesystem::path> savedBooks;  // book files written, oldest first
};

// Window title and the execute button's two captions.
const std::string& WindowTitle();
const std::string& CaptionContents();  // 取目录列表
const std::string& CaptionChapters();  // 取章节保存

// Returns the main window to idle: empties the save name, the address label,
// the list box and the chapter list; enables the inputs; caption 取目录列表.
void ResetMainWindow(App& app);

// What the main window does with the settings when it is created: reads the
// keys in their order into the run records, the boxes and the option toggles
// (through the view), applying the start-up clamps.
void ApplyStartupSettings(App& app);

}  // namespace tarnlow

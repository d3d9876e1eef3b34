#pragma once
// Everything one running program holds: the run records, the chapter list,
// the clean rules, the batch list, the settings file, the window model it
// shows and the shell that reaches the person. The desktop program and the
// command-line program each make one; tests make as many as they like.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/clean_rule_set.h"
#include "app/records.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/window_model.h"

namespace tarnlow {

// A chapter that had no usable page after every attempt of a run.
struct FailedChapter {
  int number;         // 1-based
  std::string title;  // GBK
  bool operator==(const FailedChapter&) const = default;
};

// What the last chapter run came to, for a front end that reports it (the
// command-line program's exit status and messages).
struct ChapterRunReport {
  enum class Outcome {
    None,       // no chapter run yet
    Refused,    // the download folder cannot take the book: nothing was fetched
    Cancelled,  // cancelled, or the window closed
    NotSaved,   // fetched, but the book file could not be written
    Saved,
  };
  Outcome outcome = Outcome::None;
  std::filesystem::path path;         // Saved: the book file; NotSaved: the file tried
  int saveError = 0;                  // NotSaved: errno of the step that failed
  std::vector<FailedChapter> failed;  // Saved or NotSaved: chapters without text
  std::filesystem::path rescuedPath;  // NotSaved: the temporary copy, when one was written
};

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
  // The health reports (GBK) of the chapter runs of the command under way or
  // last run, in order; a run whose chapters all looked right adds none.
  std::vector<std::string> healthReports;
  ChapterRunReport lastRun;

  // A book the download folder refuses at the end of a run goes to a
  // temporary file in the program directory instead of being lost with the
  // program. Off for the desktop window, which keeps the texts for another
  // press of its button.
  bool rescueUnsavedBooks = false;
  // Called with each notice (AddNotice) on the thread that noticed it; set
  // before any command runs.
  std::function<void(const std::string& gbk)> noticeHook;
  // Set by the update command for its chapter run: writes what the run
  // fetched in place of SaveChapterList, and fills lastRun the same way.
  std::function<bool(App&)> saveOverride;
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

#pragma once
// One running desktop program: the run records, the window model, the shell,
// the command thread, the run-time libraries and the main window, made and
// ended in the right order.

#include <filesystem>
#include <memory>

#include "app/window_model.h"
#include "ui/libraries.h"
#include "ui/qt_shell.h"

namespace tarnlow {
struct App;
class CommandThread;
}  // namespace tarnlow

namespace tarnlow::ui {

class MainWindow;

struct ProgramPaths {
  std::filesystem::path programDir;  // config.ini, cleantxt.list, log.log, Download
  std::filesystem::path libraryDir;  // the run-time libraries: the executable's folder
};

class Program {
 public:
  // On the UI thread, with a QApplication made. The main window is made
  // hidden.
  explicit Program(ProgramPaths paths);
  // Stops showing boxes, closes the window, then waits for a command still
  // running (it is asked to end first).
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The main window's creation: the library check (a warning box for each
  // missing file, and false: the window never shows), the run log, the
  // clean-text rules, the settings, the font, the idle window, then shows
  // the window.
  bool CreateMainWindow();

  App& app() { return *m_app; }
  WindowModel& model() { return m_model; }
  QtShell& shell() { return m_shell; }
  CommandThread& commands() { return *m_commands; }
  MainWindow& window() { return *m_window; }

 private:
  ProgramPaths m_paths;
  RuntimeLibraries m_libraries;
  WindowModel m_model;
  QtShell m_shell;
  std::unique_ptr<App> m_app;
  std::unique_ptr<CommandThread> m_commands;
  std::unique_ptr<MainWindow> m_window;
};

}  // namespace tarnlow::ui

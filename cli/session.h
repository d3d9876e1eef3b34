#pragma once
// One run of an engine command from the terminal: the window model without a
// window, the program's records read from the home folder as the desktop
// program reads them at start, the command-line overrides, message boxes and
// progress on standard error, the command on its own thread, and Ctrl+C
// mapped to the cancel button and the close box.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "app/app.h"
#include "app/shell.h"
#include "app/window_model.h"
#include "cli/options.h"
#include "cli/output.h"
#include "commands/command_thread.h"

namespace tarnlow::cli {

class Session {
 public:
  explicit Session(const CliOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  App& app() { return *m_app; }
  WindowModel& model() { return m_model; }

  // False (after telling the user) when the run-time library is missing.
  bool LibrariesPresent();
  // Runs `command` on the command thread and waits for it, turning Ctrl+C
  // into the cancel button (once) and the close box (twice) meanwhile.
  void Run(const std::function<void()>& command);
  // The window was closing (a second Ctrl+C): the command ended the process.
  bool Ended() const { return m_shell.EndProcessCalled(); }

 private:
  void OnStatus(const std::string& status);
  void OnNotice(const std::string& notice);
  // With m_printMutex held: ends the progress bar's line, and prints the
  // last counts when the throttled lines have not shown them yet.
  void EndProgressLocked();

  WindowModel m_model;
  RecordingShell m_shell;
  std::unique_ptr<App> m_app;
  std::unique_ptr<CommandThread> m_commands;
  // Status texts come from the command thread and, for a cancel, the main one.
  std::mutex m_printMutex;
  bool m_terminal = false;
  bool m_cancelSeen = false;
  bool m_barShown = false;
  long long m_lastLineMs = 0;
  std::optional<ChapterProgress> m_unprinted;  // counts not yet printed as a line
  std::optional<ChapterProgress> m_printed;    // the counts of the last line
  std::string m_lastShort;
  std::set<std::string> m_notices;  // printed already; their status texts are not
};

}  // namespace tarnlow::cli

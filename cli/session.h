#pragma once
// One run of an engine command from the terminal: the headless window, the
// program's records read from the home folder as the desktop program reads
// them at start, the command-line overrides, message boxes and progress on
// standard error, and Ctrl+C mapped to the cancel button and the close box.

#include <memory>
#include <string>

#include "app/app.h"
#include "app/headless_view.h"
#include "cli/options.h"

namespace tarnlow::cli {

class Session {
 public:
  explicit Session(const CliOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  App& app() { return *m_app; }
  HeadlessView& view() { return m_view; }

  // False (after telling the user) when the run-time library is missing.
  bool LibrariesPresent();
  // The window was closing (a second Ctrl+C): the command ended the process.
  bool Ended() { return m_view.EndProcessCalled(); }

 private:
  void OnPump();
  void OnStatus(const std::string& status);

  HeadlessView m_view;
  std::unique_ptr<App> m_app;
  bool m_terminal = false;
  bool m_cancelSeen = false;
  bool m_barShown = false;
  long long m_lastLineMs = 0;
  std::string m_lastShort;
};

// Writes UTF-8 to a stream, converted from GBK.
void PrintGbk(std::FILE* stream, const std::string& gbk);

}  // namespace tarnlow::cli

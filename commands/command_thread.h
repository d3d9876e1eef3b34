#pragma once
// The thread the commands run on. A front end keeps one for the life of its
// window: the UI thread starts the contents command, the chapter run and the
// batch run here and returns to its events at once; it renders the window
// model, writes the user's edits into it, and for the cancel button and the
// close box only calls CancelOrReset and QueryClose (commands/commands.h),
// which set flags that the command, its waits and its workers check.
//
//   App app(model, shell, programDir);
//   CommandThread commands(app);
//   commands.Start([&app] { ExecuteCommand(app); });  // the execute button
//
// While a command runs, app.state.commandRunning is set, from the moment
// Start accepts it until the command has returned.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tarnlow {

struct App;

class CommandThread {
 public:
  explicit CommandThread(App& app);
  // A command still running is asked to end the process first (the close
  // flag), then waited for. The shell must outlive this object.
  ~CommandThread();
  CommandThread(const CommandThread&) = delete;
  CommandThread& operator=(const CommandThread&) = delete;

  // Runs `command` on the command thread and returns at once. False, and
  // nothing runs, while another command is running. When the command returns
  // while the close flag is set, the shell's EndProcess is called (a close
  // may come after the command's last check of the flag).
  bool Start(std::function<void()> command);

  // True from an accepted Start until the command has returned.
  bool Running() const;

  // Blocks until no command runs; with a time-out, false when one still runs
  // when it has passed.
  void Wait();
  bool Wait(std::chrono::milliseconds timeout);

 private:
  void Loop();

  App& m_app;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::function<void()> m_command;
  bool m_running = false;
  bool m_stopping = false;
  std::thread m_thread;
};

}  // namespace tarnlow

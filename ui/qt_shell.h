#pragma once
// The shell of the desktop window. The command thread asks for a message box;
// the box is shown on the UI thread and the command thread waits for the
// answer, the one wait the program allows. Ending the process quits the UI
// thread's event loop.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <functional>
#include <mutex>

#include "app/shell.h"

namespace tarnlow::ui {

class QtShell : public Shell {
 public:
  // Made on the UI thread, which then shows the boxes.
  QtShell();
  ~QtShell() override;

  // The window that owns the message boxes.
  void SetOwner(QWidget* owner);

  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
  void EndProcess() override;

  // Test seam: what EndProcess does instead of quitting (called on the
  // command thread).
  void SetEndProcessHandler(std::function<void()> handler);

  // From now on boxes are not shown and a command waiting for one goes on:
  // the window is going away and will answer nothing. UI thread.
  void Close();

 private:
  QObject m_uiContext;  // lives on the UI thread; queued calls run there
  QPointer<QWidget> m_owner;

  std::mutex m_mutex;
  std::condition_variable m_answered;
  bool m_closed = false;
  unsigned long long m_asked = 0;    // boxes handed to the UI thread
  unsigned long long m_answers = 0;  // of those, answered
  std::function<void()> m_endProcess;
};

}  // namespace tarnlow::ui

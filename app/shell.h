#pragma once
// What a command needs from the person at the screen: a message box that waits
// for an answer, and ending the process when the window was closed during the
// command. Only the command thread calls a shell, never the UI thread nor a
// worker; so a window's shell may hand the box to its UI thread and wait.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tarnlow {

enum class MessageIcon { Information, Exclamation };

class Shell {
 public:
  virtual ~Shell() = default;

  // Shows a message box (GBK text and title) and returns once it has been
  // answered.
  virtual void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;

  // A command found that the window was closed while it ran: end the process
  // without saving anything more. A shell without a window may return; the
  // command then returns at once. May be called more than once for one close.
  virtual void EndProcess() = 0;
};

struct MessageRecord {
  std::string text;
  std::string title;
  MessageIcon icon;
};

// The shell without a window: records every message box (answered at once)
// and whether the process was to end. Used by the tests and the command-line
// program. Thread-safe, so a test may read it while a command runs.
class RecordingShell : public Shell {
 public:
  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
  void EndProcess() override;

  // Called by ShowMessage after the message is recorded, outside the lock.
  void SetMessageHook(std::function<void(const MessageRecord&)> hook);

  std::vector<MessageRecord> Messages() const;
  bool EndProcessCalled() const;

 private:
  mutable std::mutex m_mutex;
  std::vector<MessageRecord> m_messages;
  bool m_endProcessCalled = false;
  std::function<void(const MessageRecord&)> m_messageHook;
};

}  // namespace tarnlow

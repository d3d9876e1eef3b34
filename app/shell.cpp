#include "app/shell.h"

#include <utility>

namespace tarnlow {

void RecordingShell::ShowMessage(const std::string& text, const std::string& title,
                                 MessageIcon icon) {
  std::function<void(const MessageRecord&)> hook;
  MessageRecord record{text, title, icon};
  {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(record);
    hook = m_messageHook;
  }
  if (hook) hook(record);
}

void RecordingShell::EndProcess() {
  std::lock_guard lock(m_mutex);
  m_endProcessCalled = true;
}

void RecordingShell::SetMessageHook(std::function<void(const MessageRecord&)> hook) {
  std::lock_guard lock(m_mutex);
  m_messageHook = std::move(hook);
}

std::vector<MessageRecord> RecordingShell::Messages() const {
  std::lock_guard lock(m_mutex);
  return m_messages;
}

bool RecordingShell::EndProcessCalled() const {
  std::lock_guard lock(m_mutex);
  return m_endProcessCalled;
}

}  // namespace tarnlow

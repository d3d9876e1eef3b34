#include "ui/qt_shell.h"

#include <QCoreApplication>
#include <QThread>

#include <utility>

#include "ui/modal.h"

namespace tarnlow::ui {

QtShell::QtShell() = default;

QtShell::~QtShell() { Close(); }

void QtShell::SetOwner(QWidget* owner) { m_owner = owner; }

void QtShell::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) {
  if (QThread::currentThread() == m_uiContext.thread()) {
    ShowMessageBox(m_owner, text, title, icon);
    return;
  }

  std::unique_lock lock(m_mutex);
  if (m_closed) return;
  const unsigned long long ticket = ++m_asked;
  // Boxes are answered in the order they were asked: the queued calls run
  // in order on the one UI thread.
  QMetaObject::invokeMethod(
      &m_uiContext,
      [this, text, title, icon] {
        {
          std::lock_guard guard(m_mutex);
          if (m_closed) return;
        }
        ShowMessageBox(m_owner, text, title, icon);
        std::lock_guard guard(m_mutex);
        ++m_answers;
        m_answered.notify_all();
      },
      Qt::QueuedConnection);
  m_answered.wait(lock, [&] { return m_closed || m_answers >= ticket; });
}

void QtShell::EndProcess() {
  std::function<void()> handler;
  {
    std::lock_guard lock(m_mutex);
    handler = m_endProcess;
  }
  if (handler) {
    handler();
    return;
  }
  // Posted, so the UI thread quits from its own event loop.
  QMetaObject::invokeMethod(
      &m_uiContext, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void QtShell::SetEndProcessHandler(std::function<void()> handler) {
  std::lock_guard lock(m_mutex);
  m_endProcess = std::move(handler);
}

void QtShell::Close() {
  std::lock_guard lock(m_mutex);
  m_closed = true;
  m_answered.notify_all();
}

}  // namespace tarnlow::ui

#include "commands/command_thread.h"

#include <utility>

#include "app/app.h"

namespace tarnlow {

CommandThread::CommandThread(App& app) : m_app(app), m_thread([this] { Loop(); }) {}

CommandThread::~CommandThread() {
  {
    std::lock_guard lock(m_mutex);
    if (m_running) m_app.log.exitRequested = true;
    m_stopping = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

bool CommandThread::Start(std::function<void()> command) {
  {
    std::lock_guard lock(m_mutex);
    if (m_running || m_stopping || !command) return false;
    m_running = true;
    m_app.state.commandRunning = true;
    m_command = std::move(command);
  }
  m_changed.notify_all();
  return true;
}

bool CommandThread::Running() const {
  std::lock_guard lock(m_mutex);
  return m_running;
}

void CommandThread::Wait() {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return !m_running; });
}

bool CommandThread::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [this] { return !m_running; });
}

void CommandThread::Loop() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_stopping || m_command; });
    if (!m_command) return;
    const std::function<void()> command = std::move(m_command);
    m_command = nullptr;
    lock.unlock();

    command();
    if (m_app.log.exitRequested) m_app.shell.EndProcess();

    lock.lock();
    m_app.state.commandRunning = false;
    m_running = false;
    m_changed.notify_all();
  }
}

}  // namespace tarnlow

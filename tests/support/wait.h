#pragma once
// Waiting in threaded tests without hanging them: every wait gives up after a
// time-out, so that a fault fails the test instead of blocking it for ever.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tarnlow::test {

// True once `condition` holds, false when `timeout` passed first.
template <class Condition>
bool WaitUntil(Condition condition,
               std::chrono::steady_clock::duration timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Holds threads back until the test opens it.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard lock(m_mutex);
      m_open = true;
    }
    m_changed.notify_all();
  }
  // True once open; false when `timeout` passed first.
  bool Wait(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_open; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_open = false;
};

// Opens a gate when it goes out of scope, also after a failed assertion, so
// that no thread is still held at it when the test's servers stop. A gate
// that server handlers or subscribers wait at is shared with them
// (std::make_shared), since they may still be inside Wait, or arrive late,
// after the test's scope has ended.
class OpenOnExit {
 public:
  explicit OpenOnExit(Gate& gate) : m_gate(gate) {}
  ~OpenOnExit() { m_gate.Open(); }
  OpenOnExit(const OpenOnExit&) = delete;
  OpenOnExit& operator=(const OpenOnExit&) = delete;

 private:
  Gate& m_gate;
};

}  // namespace tarnlow::test

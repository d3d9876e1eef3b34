#include "pool/pool_sync.h"

#include <utility>

namespace tarnlow::detail {

void WorkQueue::Open() {
  std::deque<WorkPacket> stale;
  {
    std::lock_guard lock(m_mutex);
    stale.swap(m_packets);
    m_open = true;
  }
}

bool WorkQueue::Post(WorkPacket packet) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return false;
    m_packets.push_back(std::move(packet));
  }
  m_ready.notify_one();
  return true;
}

bool WorkQueue::Get(WorkPacket& packet) {
  std::unique_lock lock(m_mutex);
  m_ready.wait(lock, [this] { return !m_open || !m_packets.empty(); });
  if (!m_open) return false;
  packet = std::move(m_packets.front());
  m_packets.pop_front();
  return true;
}

void WorkQueue::Drop() {
  // Dropped routines are destroyed outside the lock: their captures may be
  // arbitrary objects of the caller.
  std::deque<WorkPacket> dropped;
  {
    std::lock_guard lock(m_mutex);
    m_open = false;
    dropped.swap(m_packets);
  }
  m_ready.notify_all();
}

void AutoResetEvent::Open() {
  std::lock_guard lock(m_mutex);
  m_open = true;
  m_signalled = false;
}

void AutoResetEvent::Close() {
  {
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_signalled = false;
  }
  m_changed.notify_all();
}

void AutoResetEvent::Set() {
  {
    std::lock_guard lock(m_mutex);
    if (!m_open) return;
    m_signalled = true;
  }
  m_changed.notify_one();
}

AutoResetEvent::WaitResult AutoResetEvent::Wait(std::optional<std::chrono::milliseconds> timeout) {
  std::unique_lock lock(m_mutex);
  const auto ready = [this] { return !m_open || m_signalled; };
  if (timeout) {
    m_changed.wait_for(lock, *timeout, ready);
  } else {
    m_changed.wait(lock, ready);
  }
  if (!m_open) return WaitResult::kFailed;
  if (!m_signalled) return WaitResult::kTimedOut;
  m_signalled = false;
  return WaitResult::kSignalled;
}

}  // namespace tarnlow::detail

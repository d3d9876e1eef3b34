#pragma once
// The two blocking primitives under WorkerPool: a FIFO queue of work packets
// that can be dropped while threads wait on it, and an auto-reset event that
// can be closed so that every later wait fails at once.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace tarnlow::detail {

// A routine with its two arguments, or a stop packet that tells one worker to leave.
struct WorkPacket {
  std::function<void(int, int)> routine;
  int arg1 = 0;
  int arg2 = 0;
  bool stop = false;
};

class WorkQueue {
 public:
  // Empties the queue and lets Post succeed again.
  void Open();
  // Appends behind everything already queued; false once the queue is dropped.
  bool Post(WorkPacket packet);
  // Blocks without a time-out until a packet arrives; false when the queue is
  // (or becomes) dropped, which also wakes every thread blocked here.
  bool Get(WorkPacket& packet);
  // Discards the packets still queued and fails every pending and later Get.
  void Drop();

 private:
  std::mutex m_mutex;
  std::condition_variable m_ready;
  std::deque<WorkPacket> m_packets;
  bool m_open = false;
};

class AutoResetEvent {
 public:
  enum class WaitResult { kSignalled, kTimedOut, kFailed };

  // Starts a fresh, not signalled event.
  void Open();
  // Ends the event: pending and later waits fail, later Sets do nothing.
  void Close();
  void Set();
  // Without a time-out the wait is unbounded. A signalled wait resets the event.
  WaitResult Wait(std::optional<std::chrono::milliseconds> timeout);

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_open = false;
  bool m_signalled = false;
};

}  // namespace tarnlow::detail

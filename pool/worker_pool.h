#pragma once
// WorkerPool runs work items (a routine and two integers) on a fixed set of
// worker threads. The owning thread (a command thread, never a window's)
// creates, submits, polls and closes. The counters are atomics so that
// polling is cheap.

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "pool/pool_sync.h"

namespace tarnlow {

// A work item's routine, called as routine(arg1, arg2) on a worker thread.
// A std::function so that callers can submit a lambda that captures its
// context; the routine must not throw.
using WorkRoutine = std::function<void(int, int)>;

// The stack size asked for worker threads: 0 (the default stack) when
// `stackSize` is 0, otherwise 8192 when it is below 8192, else `stackSize`
// rounded down to a multiple of 4096.
std::size_t WorkerStackSize(int stackSize);

class WorkerPool {
 public:
  // Lifecycle codes returned by State().
  static constexpr int kClosed = 0;
  static constexpr int kRunning = 1;
  static constexpr int kStarting = 2;
  static constexpr int kClosing = 3;

  WorkerPool() = default;
  // Closes in mode 2, then waits until every worker thread has ended: running
  // items finish, queued ones are dropped.
  virtual ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts `threadCount` workers (3 when below 1). False when the pool is not
  // Closed or when no worker could be started.
  bool Create(int threadCount, int stackSize = 0);
  // Queues one item; false unless Running or when `routine` is empty. Items
  // start in the order of submission.
  bool Submit(WorkRoutine routine, int arg1 = 0, int arg2 = 0);
  // Mode 0: drop queued items and wait; 1: run queued items and wait; 2: drop,
  // do not wait; 3: run, do not wait (other modes count as 0). True when the
  // pool was Closed already; false when it is Starting or Closing, or when a
  // wait with `timeoutMs` > 0 times out (the pool then stays Closing until its
  // last worker leaves). Must not be called from inside a work item.
  bool Close(int mode = 0, int timeoutMs = 0);

  int IdleThreadCount() const { return m_threadCount.load() - m_busyCount.load(); }
  int BusyCount() const { return m_busyCount.load(); }
  int QueuedCount() const { return m_queuedCount.load(); }
  int ThreadCount() const { return m_threadCount.load(); }
  // Queued before busy: an item moves from queued to busy by raising busy
  // first, so this order never misses it.
  bool IsIdle() const { return m_queuedCount.load() == 0 && m_busyCount.load() == 0; }
  int State() const { return m_state.load(); }

 protected:
  // Starts one worker thread running WorkerLoop on this pool; `stackSize` is
  // WorkerStackSize's result. A seam so that tests can make thread creation fail.
  virtual bool SpawnThread(std::size_t stackSize, pthread_t* thread);

 private:
  static void* ThreadMain(void* pool);
  void WorkerLoop();
  void JoinThreads();

  detail::WorkQueue m_queue;
  detail::AutoResetEvent m_event;
  // Threads started and not joined yet; touched by the owner thread only.
  std::vector<pthread_t> m_threads;
  // Threads started by the last Create, checked in or not yet.
  int m_created = 0;

  std::atomic<bool> m_port{false};    // the queue accepts packets
  std::atomic<bool> m_signal{false};  // Create or a waiting Close listens on m_event
  std::atomic<int> m_running{0};      // 0: workers drop what they dequeue and leave
  std::atomic<int> m_threadCount{0};
  std::atomic<int> m_state{kClosed};
  std::atomic<int> m_busyCount{0};
  std::atomic<int> m_queuedCount{0};
};

}  // namespace tarnlow

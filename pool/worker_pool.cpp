#include "pool/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>

namespace tarnlow {
namespace {

using detail::AutoResetEvent;
using std::chrono::milliseconds;

constexpr int kMaxFailuresInARow = 5;

// Floor for the stack a worker really gets. glibc refuses less than
// PTHREAD_STACK_MIN, and the sanitizer runtimes (like any routine that builds
// a string or two) overflow stacks of a few KiB. Other platforms round a small
// reservation up to 64 KiB as well, so asking for 8 KiB keeps its meaning.
constexpr std::size_t kMinThreadStack = 64 * 1024;

}  // namespace

std::size_t WorkerStackSize(int stackSize) {
  if (stackSize == 0) return 0;
  if (stackSize < 8192) return 8192;
  return static_cast<std::size_t>(stackSize) / 4096 * 4096;
}

WorkerPool::~WorkerPool() {
  Close(2);
  // Workers still running an item, or still to leave after a timed-out
  // Close, use this instance until their thread ends.
  JoinThreads();
}

bool WorkerPool::Create(int threadCount, int stackSize) {
  int previous = kClosed;
  if (!m_state.compare_exchange_strong(previous, kStarting)) return false;

  // Threads of an earlier run may still be ending; one that started too late
  // to be counted then tidies up on its way out, so it must be gone before
  // this run sets anything up.
  JoinThreads();
  m_state.store(kStarting);

  const int wanted = threadCount < 1 ? 3 : threadCount;
  const std::size_t stack = WorkerStackSize(stackSize);

  m_event.Open();
  m_signal.store(true);
  m_queue.Open();
  m_port.store(true);
  m_running.store(1);
  m_threadCount.store(0);
  m_busyCount.store(0);
  m_queuedCount.store(0);

  m_created = 0;
  int failuresInARow = 0;
  for (int attempt = 1; attempt <= wanted; ++attempt) {
    pthread_t thread;
    if (SpawnThread(stack, &thread)) {
      m_threads.push_back(thread);
      ++m_created;
      failuresInARow = 0;
    } else if (++failuresInARow == kMaxFailuresInARow) {
      break;
    }
  }

  if (m_created > 0) {
    const milliseconds timeout(m_created * 2 + 1000);
    // Each worker signals as it checks in; a wait that times out ends it.
    while (m_threadCount.load() < m_created &&
           m_event.Wait(timeout) == AutoResetEvent::WaitResult::kSignalled) {
    }
  }
  m_signal.store(false);
  m_event.Close();

  if (m_threadCount.load() == 0) {
    m_running.store(0);
    m_port.store(false);
    m_queue.Drop();
    // Threads that did start but have not checked in yet find the queue
    // dropped and leave at once.
    JoinThreads();
    m_state.store(kClosed);
    return false;
  }
  m_state.store(kRunning);
  return true;
}

bool WorkerPool::Submit(WorkRoutine routine, int arg1, int arg2) {
  if (m_state.load() != kRunning || !routine) return false;
  // Counted before it is visible to a worker, which decrements on dequeue.
  m_queuedCount.fetch_add(1);
  if (!m_queue.Post({std::move(routine), arg1, arg2, false})) {
    m_queuedCount.fetch_sub(1);
    return false;
  }
  return true;
}

bool WorkerPool::Close(int mode, int timeoutMs) {
  int previous = kRunning;
  if (!m_state.compare_exchange_strong(previous, kClosing)) return previous == kClosed;
  if (mode < 0 || mode > 3) mode = 0;
  const bool waits = mode == 0 || mode == 1;

  if (waits) {
    m_event.Open();
    m_signal.store(true);
  }
  if (mode == 0 || mode == 2) m_running.store(0);

  // One stop packet per thread started in this run, checked in or not: a
  // worker that starts late still needs one to leave. Packets left over when
  // the last worker drops the queue go with it.
  const int stops = m_created;
  for (int i = 1; i <= stops; ++i) m_queue.Post({{}, -1, -1, true});
  if (!waits) return true;

  const auto deadline = std::chrono::steady_clock::now() + milliseconds(timeoutMs);
  while (m_state.load() == kClosing) {
    std::optional<milliseconds> wait;
    if (timeoutMs > 0) {
      wait = std::chrono::ceil<milliseconds>(deadline - std::chrono::steady_clock::now());
      if (wait->count() <= 0) return false;
    }
    const AutoResetEvent::WaitResult result = m_event.Wait(wait);
    if (result == AutoResetEvent::WaitResult::kTimedOut) return false;
    // The last worker closes the event just before it marks the pool Closed.
    if (result == AutoResetEvent::WaitResult::kFailed) std::this_thread::yield();
  }
  return true;
}

bool WorkerPool::SpawnThread(std::size_t stackSize, pthread_t* thread) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  bool ok = true;
  if (stackSize != 0) {
    const std::size_t size =
        std::max({stackSize, kMinThreadStack, static_cast<std::size_t>(PTHREAD_STACK_MIN)});
    ok = pthread_attr_setstacksize(&attr, size) == 0;
  }
  ok = ok && pthread_create(thread, &attr, &WorkerPool::ThreadMain, this) == 0;
  pthread_attr_destroy(&attr);
  return ok;
}

void* WorkerPool::ThreadMain(void* pool) {
  static_cast<WorkerPool*>(pool)->WorkerLoop();
  return nullptr;
}

void WorkerPool::WorkerLoop() {
  m_threadCount.fetch_add(1);
  if (m_signal.load()) m_event.Set();

  for (;;) {
    detail::WorkPacket packet;
    if (!m_queue.Get(packet) || packet.stop || m_running.load() == 0) break;
    // Busy before no longer queued, so that IsIdle never sees the item in neither.
    m_busyCount.fetch_add(1);
    m_queuedCount.fetch_sub(1);
    packet.routine(packet.arg1, packet.arg2);
    m_busyCount.fetch_sub(1);
  }

  if (m_threadCount.fetch_sub(1) != 1) return;

  // The last worker out tidies up. threadCount is 0 already and is left alone:
  // a thread starting this very moment may be counting itself in.
  if (m_port.exchange(false)) m_queue.Drop();
  if (m_signal.exchange(false)) {
    m_event.Set();
    m_event.Close();
  }
  m_running.store(0);
  m_busyCount.store(0);
  m_queuedCount.store(0);
  // Last: a waiting Close returns on it, and Create may start over.
  m_state.store(kClosed);
}

void WorkerPool::JoinThreads() {
  for (pthread_t thread : m_threads) pthread_join(thread, nullptr);
  m_threads.clear();
}

}  // namespace tarnlow

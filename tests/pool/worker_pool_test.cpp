#include "pool/worker_pool.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/wait.h"

namespace tarnlow {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::WaitUntil;

// Holds work items until the test opens it, so that what runs is up to the test.
class Gate {
 public:
  void Wait() {
    std::unique_lock lock(m_mutex);
    m_opened.wait(lock, [this] { return m_open; });
  }
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_opened.wait_for(lock, timeout, [this] { return m_open; });
  }
  void Open() {
    {
      std::lock_guard lock(m_mutex);
      m_open = true;
    }
    m_opened.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_opened;
  bool m_open = false;
};

// Opens the gate when the test leaves its scope, also on a failed assertion,
// so that the pool declared before it can join its workers; and after 5 s at
// the latest, so that a close that never returns fails the test instead of
// hanging it.
class GateGuard {
 public:
  explicit GateGuard(Gate& gate)
      : m_gate(gate), m_rescue([this] {
          if (!m_gate.WaitFor(5s)) m_gate.Open();
        }) {}
  ~GateGuard() {
    m_gate.Open();
    m_rescue.join();
  }

 private:
  Gate& m_gate;
  std::thread m_rescue;
};

// Counts the items that started and finished; each one waits at the gate.
struct GatedItems {
  Gate gate;
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  WorkRoutine Routine() {
    return [this](int, int) {
      started.fetch_add(1);
      gate.Wait();
      finished.fetch_add(1);
    };
  }
};

// Fails the spawn attempts marked false in `plan` (later ones succeed) and
// records the stack size of every attempt.
class ScriptedPool : public WorkerPool {
 public:
  using WorkerPool::WorkerPool;
  std::vector<bool> plan;
  std::vector<std::size_t> attempts;

 protected:
  bool SpawnThread(std::size_t stackSize, pthread_t* thread) override {
    const std::size_t index = attempts.size();
    attempts.push_back(stackSize);
    if (index < plan.size() && !plan[index]) return false;
    return WorkerPool::SpawnThread(stackSize, thread);
  }
};

// Opens the gate from another thread once a close is under way, a little
// after the pool turned Closing, so that the close is waiting when the items
// end.
class OpenWhenClosing {
 public:
  OpenWhenClosing(const WorkerPool& pool, Gate& gate)
      : m_thread([&pool, &gate] {
          WaitUntil([&] { return pool.State() == WorkerPool::kClosing; });
          std::this_thread::sleep_for(20ms);
          gate.Open();
        }) {}
  ~OpenWhenClosing() { m_thread.join(); }

 private:
  std::thread m_thread;
};

void ExpectClosedAndEmpty(const WorkerPool& pool) {
  EXPECT_EQ(pool.State(), WorkerPool::kClosed);
  EXPECT_EQ(pool.ThreadCount(), 0);
  EXPECT_EQ(pool.BusyCount(), 0);
  EXPECT_EQ(pool.QueuedCount(), 0);
  EXPECT_TRUE(pool.IsIdle());
}

// Three workers each blocked in an item, 47 items behind them.
void FillWithBlockedItems(WorkerPool& pool, GatedItems& items) {
  ASSERT_TRUE(pool.Create(3));
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(pool.Submit(items.Routine(), i));
  ASSERT_TRUE(WaitUntil([&] { return pool.BusyCount() == 3; }));
  EXPECT_EQ(pool.QueuedCount(), 47);
  EXPECT_EQ(pool.IdleThreadCount(), 0);
  EXPECT_FALSE(pool.IsIdle());
}

TEST(WorkerPoolStack, SizeRule) {
  EXPECT_EQ(WorkerStackSize(0), 0u);
  EXPECT_EQ(WorkerStackSize(100), 8192u);
  EXPECT_EQ(WorkerStackSize(-1), 8192u);
  EXPECT_EQ(WorkerStackSize(10000), 8192u);
  EXPECT_EQ(WorkerStackSize(12287), 8192u);
  EXPECT_EQ(WorkerStackSize(12288), 12288u);
  EXPECT_EQ(WorkerStackSize(20000), 16384u);
}

TEST(WorkerPoolStack, SmallStacksRunItems) {
  const std::pair<int, std::size_t> cases[] = {{100, 8192}, {20000, 16384}, {0, 0}};
  for (const auto& [asked, expected] : cases) {
    SCOPED_TRACE(asked);
    std::mutex mutex;
    std::vector<std::size_t> stacks;
    {
      ScriptedPool pool;
      ASSERT_TRUE(pool.Create(2, asked));
      EXPECT_EQ(pool.attempts, (std::vector<std::size_t>{expected, expected}));
      for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(pool.Submit([&](int, int) {
          volatile char scratch[4096];
          std::memset(const_cast<char*>(scratch), 1, sizeof scratch);
          pthread_attr_t attr;
          std::size_t size = 0;
          if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            pthread_attr_getstacksize(&attr, &size);
            pthread_attr_destroy(&attr);
          }
          std::lock_guard lock(mutex);
          stacks.push_back(size);
        }));
      }
      ASSERT_TRUE(pool.Close(1));
    }
    ASSERT_EQ(stacks.size(), 20u);
    for (std::size_t size : stacks) {
      EXPECT_GE(size, 64u * 1024);
      if (expected != 0) {
        EXPECT_LT(size, 1024u * 1024);
      }
    }
  }
}

TEST(WorkerPoolCreate, ThreadCountBelowOneStartsThree) {
  for (int count : {0, -7}) {
    WorkerPool pool;
    ASSERT_TRUE(pool.Create(count));
    EXPECT_EQ(pool.State(), WorkerPool::kRunning);
    EXPECT_EQ(pool.ThreadCount(), 3);
    EXPECT_EQ(pool.IdleThreadCount(), 3);
  }
  WorkerPool one;
  ASSERT_TRUE(one.Create(1));
  EXPECT_EQ(one.ThreadCount(), 1);
}

TEST(WorkerPoolCreate, SecondCreateOnRunningPoolChangesNothing) {
  std::atomic<int> ran{0};
  ScriptedPool pool;
  ASSERT_TRUE(pool.Create(2));
  EXPECT_FALSE(pool.Create(5));
  EXPECT_EQ(pool.attempts.size(), 2u);
  EXPECT_EQ(pool.ThreadCount(), 2);
  EXPECT_EQ(pool.State(), WorkerPool::kRunning);
  ASSERT_TRUE(pool.Submit([&](int, int) { ran.fetch_add(1); }));
  ASSERT_TRUE(pool.Close(1));
  EXPECT_EQ(ran.load(), 1);
}

TEST(WorkerPoolCreate, ToleratesFourFailedThreadStartsInARow) {
  constexpr bool S = true, F = false;
  struct Case {
    std::vector<bool> plan;
    std::size_t attempts;
    int threads;
  };
  for (const Case& c : {Case{{S, F, F, F, F, S, F, F, F}, 9, 2}, Case{{S, F, F, F, F, F, S}, 6, 1},
                        Case{{F, F, F, F, S}, 9, 5}}) {
    std::atomic<int> ran{0};
    ScriptedPool pool;
    pool.plan = c.plan;
    ASSERT_TRUE(pool.Create(9));
    EXPECT_EQ(pool.attempts.size(), c.attempts);
    EXPECT_EQ(pool.ThreadCount(), c.threads);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(pool.Submit([&](int, int) { ran.fetch_add(1); }));
    ASSERT_TRUE(pool.Close(1));
    EXPECT_EQ(ran.load(), 10);
  }
}

TEST(WorkerPoolCreate, NoThreadStartedLeavesPoolClosed) {
  ScriptedPool pool;
  pool.plan.assign(9, false);
  EXPECT_FALSE(pool.Create(9));
  EXPECT_EQ(pool.attempts.size(), 5u);
  ExpectClosedAndEmpty(pool);
  EXPECT_FALSE(pool.Submit([](int, int) {}));
  EXPECT_EQ(pool.QueuedCount(), 0);

  pool.plan.clear();
  ASSERT_TRUE(pool.Create(2));
  EXPECT_EQ(pool.ThreadCount(), 2);
}

TEST(WorkerPoolSubmit, RejectedOutsideRunningOrWithoutRoutine) {
  GatedItems items;
  std::atomic<int> ran{0};
  WorkerPool pool;
  const GateGuard guard(items.gate);
  const WorkRoutine count = [&](int, int) { ran.fetch_add(1); };
  EXPECT_FALSE(pool.Submit(count));
  EXPECT_EQ(pool.QueuedCount(), 0);

  ASSERT_TRUE(pool.Create(1));
  ASSERT_TRUE(pool.Submit(items.Routine()));
  ASSERT_TRUE(pool.Submit(count));
  ASSERT_TRUE(WaitUntil([&] { return pool.BusyCount() == 1; }));
  EXPECT_EQ(pool.QueuedCount(), 1);
  EXPECT_FALSE(pool.Submit(WorkRoutine{}));
  EXPECT_EQ(pool.QueuedCount(), 1);

  items.gate.Open();
  ASSERT_TRUE(pool.Close(1));
  EXPECT_EQ(ran.load(), 1);
  EXPECT_FALSE(pool.Submit(count));
  EXPECT_EQ(pool.QueuedCount(), 0);
  EXPECT_EQ(ran.load(), 1);
}

TEST(WorkerPoolSubmit, ItemsStartInOrderWithBothArguments) {
  std::vector<std::pair<int, int>> seen;  // one worker: no lock needed
  WorkerPool pool;
  ASSERT_TRUE(pool.Create(1));
  for (int i = 1; i <= 200; ++i) {
    ASSERT_TRUE(pool.Submit([&](int a, int b) { seen.emplace_back(a, b); }, i, -3 * i));
  }
  ASSERT_TRUE(pool.Close(1));
  ASSERT_EQ(seen.size(), 200u);
  for (int i = 1; i <= 200; ++i) EXPECT_EQ(seen[i - 1], std::pair(i, -3 * i));
}

class WorkerPoolDropModes : public testing::TestWithParam<int> {};

TEST_P(WorkerPoolDropModes, RunningItemsFinishQueuedOnesNeverRun) {
  GatedItems items;
  WorkerPool pool;
  const GateGuard guard(items.gate);
  ASSERT_NO_FATAL_FAILURE(FillWithBlockedItems(pool, items));
  // A waiting close that gives up at once has still set everything in motion
  // when it returns; only then may the running items end, so no worker can
  // take a queued item before the close told it not to.
  EXPECT_FALSE(pool.Close(GetParam(), 1));
  EXPECT_EQ(pool.State(), WorkerPool::kClosing);
  items.gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return pool.State() == WorkerPool::kClosed; }));
  EXPECT_EQ(items.started.load(), 3);
  EXPECT_EQ(items.finished.load(), 3);
  ExpectClosedAndEmpty(pool);
}

INSTANTIATE_TEST_SUITE_P(OutOfRangeCountsAsZero, WorkerPoolDropModes, testing::Values(0, 5, -1));

TEST(WorkerPoolClose, DrainingModeRunsEverythingQueued) {
  GatedItems items;
  WorkerPool pool;
  const GateGuard guard(items.gate);
  ASSERT_NO_FATAL_FAILURE(FillWithBlockedItems(pool, items));
  const OpenWhenClosing opener(pool, items.gate);
  EXPECT_TRUE(pool.Close(1));
  EXPECT_EQ(items.finished.load(), 50);
  ExpectClosedAndEmpty(pool);
}

TEST(WorkerPoolClose, NonWaitingModesReturnAtOnce) {
  const std::pair<int, int> cases[] = {{2, 3}, {3, 50}};
  for (const auto& [mode, runs] : cases) {
    SCOPED_TRACE(mode);
    GatedItems items;
    WorkerPool pool;
    const GateGuard guard(items.gate);
    ASSERT_NO_FATAL_FAILURE(FillWithBlockedItems(pool, items));
    EXPECT_TRUE(pool.Close(mode));
    EXPECT_EQ(pool.State(), WorkerPool::kClosing);
    EXPECT_FALSE(pool.Submit([](int, int) {}));
    EXPECT_FALSE(pool.Create(3));
    items.gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return pool.State() == WorkerPool::kClosed; }));
    EXPECT_EQ(items.finished.load(), runs);
    ExpectClosedAndEmpty(pool);
  }
}

TEST(WorkerPoolClose, TimedOutCloseLeavesPoolClosingUntilItemEnds) {
  GatedItems items;
  WorkerPool pool;
  const GateGuard guard(items.gate);
  ASSERT_TRUE(pool.Create(2));
  ASSERT_TRUE(pool.Submit(items.Routine()));
  ASSERT_TRUE(WaitUntil([&] { return pool.BusyCount() == 1; }));
  const auto start = Clock::now();
  EXPECT_FALSE(pool.Close(0, 60));
  EXPECT_GE(Clock::now() - start, 60ms);
  EXPECT_EQ(pool.State(), WorkerPool::kClosing);
  EXPECT_FALSE(pool.Close(1));
  EXPECT_FALSE(pool.Create(2));

  items.gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return pool.State() == WorkerPool::kClosed; }));
  EXPECT_EQ(items.finished.load(), 1);
  ExpectClosedAndEmpty(pool);
  ASSERT_TRUE(pool.Create(2));
  EXPECT_EQ(pool.ThreadCount(), 2);
}

TEST(WorkerPoolClose, ClosedPoolClosesAndCreatesAgain) {
  std::atomic<int> ran{0};
  WorkerPool pool;
  EXPECT_TRUE(pool.Close());
  EXPECT_TRUE(pool.Close(1, 100));
  ExpectClosedAndEmpty(pool);

  for (int run = 1; run <= 3; ++run) {
    ASSERT_TRUE(pool.Create(run + 1));
    EXPECT_EQ(pool.ThreadCount(), run + 1);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(pool.Submit([&](int, int) { ran.fetch_add(1); }));
    ASSERT_TRUE(pool.Close(1));
    ExpectClosedAndEmpty(pool);
    EXPECT_TRUE(pool.Close());
  }
  EXPECT_EQ(ran.load(), 30);
}

TEST(WorkerPoolClose, WaitingCloseReturnsOnceTheRunningItemEnds) {
  GatedItems items;
  WorkerPool pool;
  const GateGuard guard(items.gate);
  ASSERT_TRUE(pool.Create(3));
  ASSERT_TRUE(pool.Submit(items.Routine()));
  ASSERT_TRUE(WaitUntil([&] { return pool.BusyCount() == 1; }));
  std::thread opener([&] {
    std::this_thread::sleep_for(50ms);
    items.gate.Open();
  });
  EXPECT_TRUE(pool.Close(0));
  opener.join();
  EXPECT_EQ(items.finished.load(), 1);
}

TEST(WorkerPoolClose, ManySmallStackedThreadsStartAndStop) {
  WorkerPool pool;
  ASSERT_TRUE(pool.Create(250, 8192));
  ASSERT_EQ(pool.ThreadCount(), 250);
  EXPECT_TRUE(pool.Close(2));
}

// Only the owner submits and polls: whenever IsIdle says so, every item
// submitted so far must have returned.
TEST(WorkerPoolIdle, NeverIdleWhileAnItemIsQueuedOrRunning) {
  std::atomic<int> unfinished{0};
  WorkerPool pool;
  ASSERT_TRUE(pool.Create(9));
  int idleSeen = 0;
  const auto checkIdle = [&] {
    if (!pool.IsIdle()) return false;
    ++idleSeen;
    EXPECT_EQ(unfinished.load(), 0);
    return true;
  };
  for (int i = 1; i <= 100000; ++i) {
    unfinished.fetch_add(1);
    ASSERT_TRUE(pool.Submit([&](int a, int) {
      volatile int spin = a % 7;
      while (spin > 0) spin = spin - 1;
      unfinished.fetch_sub(1);
    }));
    checkIdle();
    if (i % 10 == 0) {
      while (!checkIdle()) std::this_thread::yield();
    }
  }
  EXPECT_GE(idleSeen, 10000);
  ASSERT_TRUE(pool.Close(1));
  EXPECT_EQ(unfinished.load(), 0);
}

TEST(WorkerPoolDestroy, WaitsForRunningItems) {
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  // All 30 would have started only after nine rounds of 100 ms: the
  // destruction comes long before, however slow the machine.
  const WorkRoutine slow = [&](int, int) {
    started.fetch_add(1);
    std::this_thread::sleep_for(100ms);
    finished.fetch_add(1);
  };

  auto pool = std::make_unique<WorkerPool>();
  ASSERT_TRUE(pool->Create(3));
  for (int i = 0; i < 30; ++i) ASSERT_TRUE(pool->Submit(slow));
  ASSERT_TRUE(WaitUntil([&] { return pool->BusyCount() == 3; }));
  pool.reset();
  EXPECT_EQ(finished.load(), started.load());
  EXPECT_LT(started.load(), 30);

  // Destroyed while a timed-out close still waits for its item.
  GatedItems items;
  auto closing = std::make_unique<WorkerPool>();
  const GateGuard guard(items.gate);
  ASSERT_TRUE(closing->Create(2));
  ASSERT_TRUE(closing->Submit(items.Routine()));
  ASSERT_TRUE(WaitUntil([&] { return closing->BusyCount() == 1; }));
  EXPECT_FALSE(closing->Close(0, 1));
  std::thread opener([&] {
    std::this_thread::sleep_for(30ms);
    items.gate.Open();
  });
  closing.reset();
  opener.join();
  EXPECT_EQ(items.started.load(), 1);
  EXPECT_EQ(items.finished.load(), 1);
}

}  // namespace
}  // namespace tarnlow

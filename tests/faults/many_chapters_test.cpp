// A thousand chapters on nine threads against a server that fails answers at
// random (seeded): every chapter ends with its own text in its own place, or
// counted and logged exactly once. Built and run under ThreadSanitizer too.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "chapters/download_job.h"
#include "tests/faults/book_fixture.h"
#include "text/codepage.h"

namespace tarnlow::faults {
namespace {

using namespace std::chrono_literals;

constexpr int kChapters = 1000;

struct Flakiness {
  unsigned seed;
  int failOneIn;  // each answer fails with probability 1 / failOneIn
  int retryCount;
};

class ManyChapters : public BookFixture, public ::testing::WithParamInterface<Flakiness> {};

TEST_P(ManyChapters, EveryChapterInItsPlaceOrCountedOnce) {
  const Flakiness flaky = GetParam();
  const int attempts = flaky.retryCount + 1;
  std::mutex mutex;
  std::mt19937 random(flaky.seed);
  std::map<int, int> failuresSent;  // chapter -> failed answers
  server.Get(R"(/book/(\d+)\.html)", [&](const httplib::Request& req, httplib::Response& res) {
    const int n = std::stoi(req.matches[1]);
    int fail = 0;
    int pauseMs = 0;
    {
      std::lock_guard lock(mutex);
      if (random() % flaky.failOneIn == 0) {
        fail = static_cast<int>(random() % 3) + 1;
        ++failuresSent[n];
      }
      pauseMs = static_cast<int>(random() % 3);
    }
    // Uneven answer times make the workers finish out of order.
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    if (fail != 0) {
      res.status = fail == 1 ? 503 : fail == 2 ? 500 : 404;
      res.set_content("unavailable", "text/plain");
      return;
    }
    res.set_content(ChapterPage(n), "text/html");
  });
  app.state.threadCount = 9;
  app.state.retryCount = flaky.retryCount;
  app.state.delayMs = 1;
  app.state.busy = true;
  AddChapters(kChapters);

  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(DownloadChapters(app, 0));
  const double seconds = Since(start).count();

  // A chapter is lost to the run only when every one of its attempts failed.
  std::set<int> failed;
  for (const auto& [n, count] : failuresSent) {
    if (count == attempts) failed.insert(n);
  }
  std::printf(
      "%d chapters on %d threads, retry %d: %.2f s, %zu chapters with a failed answer, %zu "
      "failed\n",
      kChapters, app.state.threadCount.load(), flaky.retryCount, seconds, failuresSent.size(),
      failed.size());
  RecordProperty("run_seconds", std::to_string(seconds));
  EXPECT_LT(seconds, 120.0);
  EXPECT_GT(failed.size(), 10u);  // the draw really failed some chapters

  for (int n = 1; n <= kChapters; ++n) {
    const auto sent = failuresSent.find(n);
    const int failures = sent == failuresSent.end() ? 0 : sent->second;
    // No attempt after a success, none beyond the retries.
    ASSERT_EQ(Requests(n), failed.count(n) ? attempts : failures + 1) << n;
  }

  EXPECT_EQ(app.state.failedCount, static_cast<int>(failed.size()));
  const auto lines = FailureLines(app.log.Text());
  EXPECT_EQ(lines.size(), failed.size());
  for (int n : failed) {
    const auto named = lines.equal_range(GbkToUtf8(Title(n)));
    ASSERT_EQ(std::distance(named.first, named.second), 1) << n;
    EXPECT_EQ(named.first->second, ChapterUrl(n));
  }

  // Title, text and place agree for every chapter, in list order.
  EXPECT_EQ(Book(), ExpectedBook(kChapters, failed));
  const auto items = model.ListItems();
  ASSERT_EQ(items.size(), static_cast<std::size_t>(kChapters));
  for (int n = 1; n <= kChapters; ++n) {
    std::string label = "完成：";
    if (failed.count(n)) {
      // A failed chapter keeps the label of its last attempt.
      label =
          flaky.retryCount == 0 ? "正在读取：" : "重试" + std::to_string(flaky.retryCount) + "：";
    }
    EXPECT_EQ(GbkToUtf8(items[n - 1]), label + GbkToUtf8(Title(n))) << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Flaky, ManyChapters,
                         ::testing::Values(Flakiness{5381, 10, 0}, Flakiness{90210, 10, 0},
                                           Flakiness{7, 3, 2}),
                         [](const ::testing::TestParamInfo<Flakiness>& info) {
                           return "Seed" + std::to_string(info.param.seed) + "OneIn" +
                                  std::to_string(info.param.failOneIn) + "Retry" +
                                  std::to_string(info.param.retryCount);
                         });

}  // namespace
}  // namespace tarnlow::faults

// Slowing down for a site that pushes back: a site that answers 429 to more
// than three requests at once still gives every chapter without a retry
// spent on a 429, and the steps of one host's limit and wait.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/back_off.h"
#include "chapters/download_job.h"
#include "tests/faults/book_fixture.h"
#include "text/codepage.h"

namespace tarnlow::faults {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

FetchResult Answer(int status, long long retryAfterMs = -1) {
  FetchResult result;
  result.kind = status == 200 ? FetchResult::Kind::Page : FetchResult::Kind::HttpStatus;
  result.statusCode = status;
  result.retryAfterMs = retryAfterMs;
  if (status == 200) result.text = "page";
  return result;
}

using BackOffRun = BookFixture;

TEST_F(BackOffRun, SiteThatAllowsThreeRequestsAtOnceGivesEveryChapterWithoutRetries) {
  constexpr int kCount = 30;
  std::atomic<int> inFlight{0};
  std::atomic<int> mostAnswered{0};
  std::atomic<int> refused{0};
  server.Get(R"(/book/(\d+)\.html)", [&](const httplib::Request& req, httplib::Response& res) {
    const int now = ++inFlight;
    if (now > 3) {
      ++refused;
      res.status = 429;
      res.set_header("Retry-After", "1");
      res.set_content("slow down", "text/plain");
    } else {
      int seen = mostAnswered.load();
      while (now > seen && !mostAnswered.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(30ms);  // long enough for requests to meet
      res.set_content(ChapterPage(std::stoi(req.matches[1])), "text/html");
    }
    --inFlight;
  });
  AddChapters(kCount);
  app.state.backOff = true;
  app.state.threadCount = 9;
  app.state.retryCount = 0;  // a 429 that spent a retry would fail its chapter
  const auto start = Clock::now();
  ASSERT_TRUE(DownloadChapters(app, 0));
  const auto wall = Since(start);
  std::cout << "[ wall time ] " << kCount
            << " chapters, 9 threads, 429 above 3 at once: " << wall.count() << " s, "
            << refused.load() << " answers 429\n";
  EXPECT_EQ(Book(), ExpectedBook(kCount, {}));
  EXPECT_EQ(app.state.failedCount, 0);
  EXPECT_GT(refused.load(), 0);  // nine threads did push the site
  const std::string log = GbkToUtf8(app.log.Text());
  EXPECT_NE(log.find("放慢：网站 127.0.0.1:" + std::to_string(server.Port()) + " 要求放慢（429）"),
            std::string::npos)
      << log;
  EXPECT_LT(wall, 120s);
}

TEST(BackOff, StepsOfOneHost) {
  std::vector<std::string> lines;
  BackOff backOff(8, 100, [&lines](const std::string& line) { lines.push_back(GbkToUtf8(line)); });
  const std::string url = "http://127.0.0.1:9/book/1.html";
  const auto never = [] { return false; };
  // Eight requests of one generation all refused: one step down, not three.
  std::vector<BackOff::Ticket> tickets(8);
  for (auto& ticket : tickets) ASSERT_TRUE(backOff.Acquire(url, never, ticket));
  for (const auto& ticket : tickets) backOff.Release(ticket, Answer(503), false);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0],
            "放慢：网站 127.0.0.1:9 要求放慢（503），同时请求数 8 -> 4，重试间隔 1000 毫秒");
  EXPECT_EQ(backOff.DelayMs(url), 1000);
  EXPECT_EQ(backOff.DelayMs("http://127.0.0.2/x"), 100);  // other hosts go on as before

  // The pause of a Retry-After holds the host; a stop ends the wait at once.
  BackOff::Ticket ticket;
  ASSERT_TRUE(backOff.Acquire(url, never, ticket));
  backOff.Release(ticket, Answer(429, 800), false);
  EXPECT_NE(
      lines.back().find("同时请求数 4 -> 2，重试间隔 2000 毫秒，按 Retry-After 暂停 800 毫秒"),
      std::string::npos)
      << lines.back();
  auto start = Clock::now();
  std::atomic<bool> stop{false};
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(100ms);
    stop = true;
  });
  EXPECT_FALSE(backOff.Acquire(
      url, [&stop] { return stop.load(); }, ticket));
  stopper.join();
  EXPECT_LT(Since(start), 700ms);
  ASSERT_TRUE(backOff.Acquire(url, never, ticket));
  EXPECT_GE(Since(start), 790ms);

  // Down to one and never below it; the wait doubles to its cap: 4, 8, 16, 30 s.
  for (int i = 0; i < 4; ++i) {
    backOff.Release(ticket, Answer(429, 0), false);
    ASSERT_TRUE(backOff.Acquire(url, never, ticket));
  }
  EXPECT_EQ(lines.back(),
            "放慢：网站 127.0.0.1:9 要求放慢（429），同时请求数 1 -> 1，重试间隔 30000 毫秒，"
            "按 Retry-After 暂停 0 毫秒");

  // Three empty pages in a row count as a push-back; a clean stretch undoes one step.
  const std::size_t before = lines.size();
  for (int i = 0; i < BackOff::kEmptyInARow; ++i) {
    backOff.Release(ticket, Answer(200), false);
    ASSERT_TRUE(backOff.Acquire(url, never, ticket));
  }
  EXPECT_EQ(lines.size(), before);  // at one request and 30 s already: nothing changed
  for (int i = 0; i < BackOff::kCleanStretch; ++i) {
    backOff.Release(ticket, Answer(200), true);
    ASSERT_TRUE(backOff.Acquire(url, never, ticket));
  }
  EXPECT_EQ(lines.back(),
            "恢复：网站 127.0.0.1:9 连续 10 次正常应答，同时请求数 1 -> 2，重试间隔 15000 毫秒");
  backOff.Release(ticket, Answer(200), true);
}

}  // namespace
}  // namespace tarnlow::faults

// The client layer's threads: requests from a thread that pumps, abandoned
// requests, and many workers fetching at once. Run under ThreadSanitizer too.

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fetch/fetch_page.h"
#include "fetch/http_client.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"

namespace tarnlow {
namespace {

using namespace std::chrono_literals;
using test::RawConnection;
using test::RawServer;
using test::TestServer;

TEST(HttpRequest, PumpHookRunsWhileTheRequestWaits) {
  TestServer server;
  server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(300ms);
    res.set_content("slow page", "text/html");
  });
  std::atomic<int> pumped{0};
  SetRequestPumpHook([&] { pumped.fetch_add(1); });
  EXPECT_EQ(FetchPage(server.Url("/slow")), "slow page");
  const int onOwner = pumped.load();
  EXPECT_GE(onOwner, 5);

  // Another thread runs its request inline and never calls the hook.
  std::string fromWorker;
  std::thread([&] { fromWorker = FetchPage(server.Url("/slow")); }).join();
  EXPECT_EQ(fromWorker, "slow page");
  EXPECT_EQ(pumped.load(), onOwner);
  SetRequestPumpHook({});
}

TEST(HttpRequest, AbandonedRequestStopsAndIsDiscarded) {
  test::ScopedTimeouts shortWait({5000ms, 60000ms, 500ms});
  RawServer silent(RawServer::NeverAnswer());
  std::atomic<int> pumped{0};
  SetRequestPumpHook([&] { pumped.fetch_add(1); });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(FetchPage(silent.Url("/")), FetchFailedMarker() + "\r\n\r\n" + test::Gbk(" 网络异常"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_GT(pumped.load(), 0);
  SetRequestPumpHook({});
  // The abandoned thread notices through its progress callback and ends.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (RequestThreadsRunning() > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(RequestThreadsRunning(), 0);
}

TEST(HttpRequest, ConcurrentRequestsFromWorkerThreads) {
  TestServer server;
  server.Get("/c/(\\d+)", [](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Set-Cookie", "n=" + req.matches[1].str() + "; Path=/c");
    res.set_content("page " + req.matches[1].str(), "text/html");
  });
  std::atomic<int> good{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(w * 100 + i);
        if (FetchPage(server.Url("/c/" + n)) == "page " + n) good.fetch_add(1);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(good.load(), 40);
}

}  // namespace
}  // namespace tarnlow

// The client layer's threads: a request stopped from another thread, and many
// workers fetching at once. Run under ThreadSanitizer too.

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

// A cancel or a close reaches a request under way through its stop
// predicate: the transfer ends as cancelled, and shows as no answer.
TEST(HttpRequest, StopPredicateEndsATransferUnderWay) {
  RawServer silent(RawServer::NeverAnswer());
  TestServer server;
  server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(300ms);
    res.set_content("slow page", "text/html");
  });
  std::atomic<bool> stop{false};
  const auto stopAsked = [&stop] { return stop.load(); };

  // Not stopped: the page comes whole.
  const FetchResult page = FetchPage(server.Url("/slow"), stopAsked);
  EXPECT_EQ(page.kind, FetchResult::Kind::Page);
  EXPECT_EQ(page.text, "slow page");

  std::thread presser([&stop] {
    std::this_thread::sleep_for(200ms);
    stop = true;
  });
  const auto started = std::chrono::steady_clock::now();
  const FetchResult stopped = FetchPage(silent.Url("/"), stopAsked);
  const auto took = std::chrono::steady_clock::now() - started;
  presser.join();
  EXPECT_EQ(stopped.kind, FetchResult::Kind::Cancelled);
  EXPECT_NE(stopped.curlCode, 0);
  EXPECT_EQ(ShownText(stopped), FetchFailedMarker() + "\r\n\r\n" + test::Gbk(" 网络异常"));
  EXPECT_LT(took, 30s);  // the real time-outs are 90 s
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
        if (ShownText(FetchPage(server.Url("/c/" + n))) == "page " + n) good.fetch_add(1);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(good.load(), 40);
}

}  // namespace
}  // namespace tarnlow

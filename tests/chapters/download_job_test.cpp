// The chapter command against a local server: every chapter in its own
// entry, in list order, or counted and logged as failed.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "app/app.h"
#include "app/run_log.h"
#include "chapters/download_job.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using test::Gbk;

std::string ChapterPage(int n) {
  return Gbk("<html><head><title>第") + std::to_string(n) +
         Gbk("章</title></head><body><div id=\"content\">&nbsp;&nbsp;第") + std::to_string(n) +
         Gbk("章的第一行<br />第二行<br />第三行<br />第四行<br />第五行</div>"
             "<div><a href=\"/next\">下一章</a></div></body></html>");
}

std::string ChapterText(int n) {
  return Gbk("第") + std::to_string(n) +
         Gbk("章的第一行\r\n第二行\r\n第三行\r\n第四行\r\n第五行\r\n");
}

class DownloadJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = dir.Path() / "Download";
    fs::create_directory(folder);
    app.state.downloadFolder = folder.string();
    app.state.delayMs = 1;
    app.state.retryCount = 0;
    app.state.threadCount = 3;
    app.state.busy = true;
    model.SetBox(Box::Address, server.Url("/book/"));
    model.SetBox(Box::SaveName, Gbk("测试书"));
    model.SetExecuteCaption(CaptionChapters());
    server.Get(R"(/book/(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(ChapterPage(std::stoi(req.matches[1])), "text/html");
    });
  }
  void AddChapters(int count) {
    for (int n = 1; n <= count; ++n) {
      const std::string title = Gbk("第") + std::to_string(n) + Gbk("章");
      app.chapters.Append({title, server.Url("/book/" + std::to_string(n) + ".html"), {}});
      model.ListAdd(title);
    }
  }
  std::string Book() { return test::ReadFile(folder / "测试书.txt").value_or("<none>"); }

  test::TempDir dir;
  fs::path folder;
  test::TestServer server;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app{model, shell, dir.Path()};
};

class ThreadCounts : public DownloadJobTest, public ::testing::WithParamInterface<int> {};

TEST_P(ThreadCounts, WholeBookInListOrderWithAFailedChapterEmpty) {
  server.Serve("/book/7.html", "gone", "text/html", 404);
  app.state.threadCount = GetParam();
  AddChapters(32);

  ASSERT_TRUE(DownloadChapters(app, 0));
  std::string expected;
  for (int n = 1; n <= 32; ++n) {
    expected += Gbk("第") + std::to_string(n) + Gbk("章") + "\r\n" +
                (n == 7 ? std::string() : ChapterText(n)) + "\r\n";
  }
  EXPECT_EQ(Book(), expected);
  EXPECT_EQ(app.state.failedCount, 1);
  const std::string log = GbkToUtf8(app.log.Text());
  const std::string failure = "】取章节：失败！书名《测试书》，章节名《第7章》，章节链接：" +
                              server.Url("/book/7.html") + "\r\n\r\n";
  ASSERT_NE(log.find(failure), std::string::npos);
  EXPECT_EQ(log.find(failure), log.rfind(failure));
  // The failure line is the one that starts with a line break.
  EXPECT_EQ(log.substr(log.find(failure) - 13, 5), "\r\n【");
  for (int n = 1; n <= 32; ++n) {
    EXPECT_EQ(server.RequestCount("/book/" + std::to_string(n) + ".html"), 1) << n;
  }
  const auto items = model.ListItems();
  EXPECT_EQ(GbkToUtf8(items[6]), "正在读取：第7章");
  EXPECT_EQ(GbkToUtf8(items[0]), "完成：第1章");
  EXPECT_EQ(GbkToUtf8(items[31]), "完成：第32章");
}

INSTANTIATE_TEST_SUITE_P(Threads, ThreadCounts, ::testing::Values(1, 3, 9));

TEST_F(DownloadJobTest, RetriesUntilTheChapterComes) {
  std::atomic<int> calls{0};
  server.Get("/book/2.html", [&calls](const httplib::Request&, httplib::Response& res) {
    if (++calls <= 2) {
      res.status = 503;
    } else {
      res.set_content(ChapterPage(2), "text/html");
    }
  });
  app.state.retryCount = 2;
  AddChapters(3);
  ASSERT_TRUE(DownloadChapters(app, 0));
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(app.state.failedCount, 0);
  EXPECT_NE(Book().find(ChapterText(2)), std::string::npos);
}

TEST_F(DownloadJobTest, ChapterThatAlwaysFailsShowsItsLastRetry) {
  server.Serve("/book/1.html", "x", "text/html", 500);
  app.state.retryCount = 2;
  AddChapters(1);
  // The list is reset after a successful save, so look at the item before.
  std::string lastLabel;
  model.SetStatusHook([&](const std::string& status) {
    if (status == Gbk("\r\n 正在保存，请稍后...")) lastLabel = GbkToUtf8(model.ListItemText(0));
  });
  ASSERT_TRUE(DownloadChapters(app, 0));
  EXPECT_EQ(server.RequestCount("/book/1.html"), 3);
  EXPECT_EQ(lastLabel, "重试2：第1章");
  EXPECT_EQ(app.state.failedCount, 1);
}

TEST_F(DownloadJobTest, FilledTextsAreNotFetchedAgain) {
  AddChapters(4);
  app.chapters.SetText(1, Gbk("早已取得\r\n"));
  ASSERT_TRUE(DownloadChapters(app, 0));
  EXPECT_EQ(server.RequestCount("/book/2.html"), 0);
  EXPECT_NE(Book().find(Gbk("第2章\r\n早已取得\r\n\r\n第3章")), std::string::npos);
}

TEST_F(DownloadJobTest, TextMarksChooseTheExtraction) {
  model.SetBox(Box::TextBegin, "<div id=\"content\">");
  model.SetBox(Box::TextEnd, Gbk("第三行"));
  AddChapters(2);
  ASSERT_TRUE(DownloadChapters(app, 0));
  EXPECT_EQ(Book(), Gbk("第1章\r\n第1章的第一行\r\n第二行\r\n\r\n\r\n第2章\r\n第2章的第一行\r\n第二"
                        "行\r\n\r\n\r\n"));
}

TEST_F(DownloadJobTest, CancelStopsTheRunAndResetsTheWindow) {
  server.Get("/book/5.html", [this](const httplib::Request&, httplib::Response& res) {
    app.state.cancelRequested = true;
    res.set_content(ChapterPage(5), "text/html");
  });
  app.state.threadCount = 1;
  AddChapters(30);
  EXPECT_FALSE(DownloadChapters(app, 0));
  for (int n = 6; n <= 30; ++n) {
    EXPECT_EQ(server.RequestCount("/book/" + std::to_string(n) + ".html"), 0) << n;
  }
  EXPECT_FALSE(app.state.cancelRequested);
  EXPECT_FALSE(app.state.busy);
  EXPECT_TRUE(app.chapters.Empty());
  EXPECT_TRUE(model.ListItems().empty());
  EXPECT_EQ(model.ExecuteCaption(), CaptionContents());
  EXPECT_FALSE(fs::exists(folder / "测试书.txt"));
  EXPECT_NE(
      GbkToUtf8(app.log.Text()).find("】已取消！文件《测试书》，链接：" + server.Url("/book/")),
      std::string::npos);
}

TEST_F(DownloadJobTest, CancelDoesNotWaitForAServerThatNeverAnswers) {
  test::RawServer silent(test::RawServer::NeverAnswer());
  AddChapters(3);
  app.chapters[1].url = silent.Url("/book/2.html");
  // Pressed once the silent chapter is being waited for (the time-outs are
  // the real ones, 90 s), at a poll of the run.
  model.SetStatusHook([&](const std::string&) {
    if (silent.ConnectionCount() > 0) app.state.cancelRequested = true;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(DownloadChapters(app, 0));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST_F(DownloadJobTest, CancelInBatchKeepsTheWindowForTheNextTask) {
  server.Get("/book/1.html", [this](const httplib::Request&, httplib::Response& res) {
    app.state.cancelRequested = true;
    res.set_content(ChapterPage(1), "text/html");
  });
  app.state.batchMode = true;
  app.state.threadCount = 1;
  AddChapters(3);
  EXPECT_FALSE(DownloadChapters(app, 2));
  EXPECT_TRUE(app.state.busy);
  EXPECT_EQ(app.chapters.Size(), 3u);
  EXPECT_EQ(GbkToUtf8(model.ListItemText(0)), "已终止：第1章");
}

TEST_F(DownloadJobTest, ProgressBlockEveryPoll) {
  server.Get("/book/2.html", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    res.set_content(ChapterPage(2), "text/html");
  });
  app.state.batchMode = true;
  app.batchTasks = {"a", "b", "c", "d", "e"};
  AddChapters(3);
  ASSERT_TRUE(DownloadChapters(app, 3));
  bool seen = false;
  for (const auto& s : model.StatusHistory()) {
    const std::string text = GbkToUtf8(s.text);
    if (text.rfind(" 任务数量：5\r\n 当前任务：3\r\n 章节列表：3\r\n 剩余未读：", 0) == 0) {
      seen = true;
      EXPECT_FALSE(s.caretToEnd);
      EXPECT_NE(
          text.find("\r\n 读取失败：0   "
                    "详情查看日志【帮助-日志】，每次执行将覆盖上一次日志记录，注意及时查看！"),
          std::string::npos);
    }
  }
  EXPECT_TRUE(seen);
  EXPECT_NE(model.Title(), Gbk("处理中..."));  // batch mode keeps the batch title

  app.state.batchMode = false;
  app.chapters.Clear();
  model.ListClear();
  AddChapters(3);
  ASSERT_TRUE(DownloadChapters(app, 3));
  EXPECT_EQ(model.Title(), Gbk("处理中..."));
  bool plain = false;
  for (const auto& s : model.StatusHistory()) {
    plain = plain || GbkToUtf8(s.text).rfind(" 任务数量：1\r\n 当前任务：1\r\n", 0) == 0;
  }
  EXPECT_TRUE(plain);
}

TEST_F(DownloadJobTest, ClosingTheWindowStopsWithoutSaving) {
  server.Get("/book/2.html", [this](const httplib::Request&, httplib::Response& res) {
    app.log.exitRequested = true;
    res.set_content(ChapterPage(2), "text/html");
  });
  app.state.threadCount = 1;
  AddChapters(10);
  EXPECT_FALSE(DownloadChapters(app, 0));
  EXPECT_TRUE(shell.EndProcessCalled());
  EXPECT_FALSE(fs::exists(folder / "测试书.txt"));
  EXPECT_EQ(GbkToUtf8(model.Status()), "\r\n 终止线程，请耐心等待...\r\n\r\n 稍后将结束程序！");
  EXPECT_EQ(server.RequestCount("/book/10.html"), 0);
}

TEST_F(DownloadJobTest, EmptyListSavesAnEmptyBook) {
  ASSERT_TRUE(DownloadChapters(app, 0));
  EXPECT_EQ(Book(), "");
}

}  // namespace
}  // namespace tarnlow

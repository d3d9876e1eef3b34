// Cancel and close pressed at every phase of a run, through the window's own
// commands: a cancel ends only what runs and leaves the window usable, a close
// ends the process without saving a book or the log file.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/run_log.h"
#include "commands/batch.h"
#include "commands/command_thread.h"
#include "commands/commands.h"
#include "tests/faults/book_fixture.h"
#include "tests/support/wait.h"
#include "text/codepage.h"

namespace tarnlow::faults {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string ContentsPage(const std::string& bookUtf8, int first, int last,
                         const std::string& next = "") {
  std::string links;
  for (int n = first; n <= last; ++n) {
    links += "<a href=\"" + std::to_string(n) + ".html\">" + Title(n) + "</a>";
  }
  if (!next.empty()) links += "<a href=\"" + next + "\">" + Gbk("下一页") + "</a>";
  return Gbk("<html><head><meta property=\"og:novel:book_name\" content=\"" + bookUtf8 +
             "\"/><title>" + bookUtf8 + "</title></head><body><div id=\"list\">") +
         links + "</div></body></html>";
}

class CancelAndClose : public BookFixture {
 protected:
  CancelAndClose() {
    dir.Write("log.log", "earlier log");
    app.state.threadCount = 3;
  }
  // The window as it starts: idle, asking for a contents address.
  void ReadyForContents(const std::string& path) {
    app.state.busy = false;
    model.SetExecuteCaption(CaptionContents());
    model.SetBox(Box::Address, server.Url(path));
  }
  std::string LogFile() const { return test::ReadFile(dir.Path() / "log.log").value_or("<none>"); }
  bool LogHas(const std::string& utf8) const {
    return GbkToUtf8(app.log.Text()).find(utf8) != std::string::npos;
  }
  // Chapter n of `count` waits at the gate unless it is the one that presses
  // `button` and opens the gate, which it does once every thread's first
  // chapter has reached the server.
  template <typename Button>
  void PressDuringChapter(int pressedAt, Button button) {
    server.Get(R"(/book/(\d+)\.html)", [this, gate = gate, pressedAt, button](
                                           const httplib::Request& req, httplib::Response& res) {
      const int n = std::stoi(req.matches[1]);
      if (n == pressedAt) {
        test::WaitUntil(
            [this] {
              return server.Requests().size() >= static_cast<std::size_t>(app.state.threadCount);
            },
            60s);
        button();
        gate->Open();
      } else {
        gate->Wait(60s);
      }
      res.set_content(ChapterPage(n), "text/html");
    });
  }
  void ExpectIdleWindow() {
    EXPECT_FALSE(app.state.busy);
    EXPECT_FALSE(app.state.cancelRequested);
    EXPECT_TRUE(model.ExecuteEnabled());
    EXPECT_TRUE(model.BoxEnabled(Box::Address));
    EXPECT_EQ(model.ExecuteCaption(), CaptionContents());
  }

  // Holds server handlers back until the button has been pressed, so that the
  // chapters in flight at that moment are known exactly.
  // Shared with the handlers, which may still be waking from it when the
  // test ends.
  std::shared_ptr<test::Gate> gate = std::make_shared<test::Gate>();
};

TEST_F(CancelAndClose, CancelDuringTheContentsFetchThenRunAgain) {
  server.Get("/book/", [this](const httplib::Request&, httplib::Response& res) {
    CancelOrReset(app);
    res.set_content(ContentsPage("示例书", 1, 4), "text/html");
  });
  ReadyForContents("/book/");
  EXPECT_FALSE(ExecuteCommand(app));
  EXPECT_TRUE(LogHas("】已取消！ 链接：" + server.Url("/book/")));
  EXPECT_EQ(model.Status(), IdleHelpText());
  EXPECT_TRUE(shell.Messages().empty());
  EXPECT_FALSE(model.CancelEnabled());
  ExpectIdleWindow();

  // Nothing hangs: the next press builds the list, each chapter once.
  server.Serve("/book/", ContentsPage("示例书", 1, 4));
  ASSERT_TRUE(ExecuteCommand(app));
  ASSERT_EQ(app.chapters.Size(), 4u);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(app.chapters[n - 1].url, ChapterUrl(n));
  EXPECT_EQ(model.ExecuteCaption(), CaptionChapters());
  EXPECT_EQ(LogFile(), "earlier log");  // the contents phase never writes it
}

// A cancel pressed while a contents page that lists nothing is read is never
// taken up by the contents command; the next press, alone or in a batch, must
// still do its work.
TEST_F(CancelAndClose, CancelLeftStandingByAnEmptyContentsPageEndsNothingLater) {
  server.Get("/empty/", [this](const httplib::Request&, httplib::Response& res) {
    CancelOrReset(app);
    res.set_content("<html><body>nothing here</body></html>", "text/html");
  });
  server.Serve("/book/", ContentsPage("示例书", 1, 4));
  ReadyForContents("/empty/");
  EXPECT_FALSE(ExecuteCommand(app));
  ASSERT_EQ(shell.Messages().size(), 1u);
  EXPECT_EQ(shell.Messages()[0].text, Gbk("没有找到目录列表，建议重试！！"));

  model.SetBox(Box::Address, server.Url("/book/"));
  ASSERT_TRUE(ExecuteCommand(app));
  EXPECT_EQ(app.chapters.Size(), 4u);
  EXPECT_FALSE(LogHas("已取消"));

  // In a batch: the empty task fails, the next one is saved.
  model.SetExecuteCaption(CaptionContents());
  app.chapters.Clear();
  app.state.busy = false;
  model.SetBox(Box::SaveName, "");
  AcceptBatchList(app, server.Url("/empty/") + "\r\n" + server.Url("/book/"), true);
  RunBatchTasks(app);
  EXPECT_TRUE(LogHas("】批处理： 找不到目录！ 链接：" + server.Url("/empty/")));
  EXPECT_TRUE(LogHas("】已保存！文件《示例书》"));
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"示例书.txt"});
  EXPECT_EQ(test::ReadFile(folder / "示例书.txt"), ExpectedBook(4, {}));
}

TEST_F(CancelAndClose, CancelDuringPagingKeepsTheListThenTheBookIsSaved) {
  server.Serve("/book/", ContentsPage("示例书", 1, 3, "list_2.html"));
  server.Get("/book/list_2.html", [this](const httplib::Request&, httplib::Response& res) {
    CancelOrReset(app);
    res.set_content(ContentsPage("示例书", 4, 6, "list_3.html"), "text/html");
  });
  server.Serve("/book/list_3.html", ContentsPage("示例书", 7, 9));
  model.SetOption(Option::NextPage, true);
  ReadyForContents("/book/");

  ASSERT_TRUE(ExecuteCommand(app));
  EXPECT_EQ(app.chapters.Size(), 3u);
  EXPECT_EQ(server.RequestCount("/book/list_3.html"), 0);
  EXPECT_EQ(model.ExecuteCaption(), CaptionChapters());
  EXPECT_TRUE(model.CancelEnabled());

  ASSERT_TRUE(ExecuteCommand(app));
  EXPECT_EQ(Book(), ExpectedBook(3, {}));
  for (int n = 4; n <= 9; ++n) EXPECT_EQ(Requests(n), 0) << n;
  EXPECT_EQ(LogFile(), app.log.Text());
  EXPECT_TRUE(LogHas("】已保存！文件《测试书》"));
  ExpectIdleWindow();
}

TEST_F(CancelAndClose, CancelDuringTheChapterRunNeverFetchesTheQueuedChapters) {
  PressDuringChapter(2, [this] { CancelOrReset(app); });
  AddChapters(30);
  ReadyForChapters();

  EXPECT_FALSE(ExecuteCommand(app));
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(Requests(n), 1) << n;
  for (int n = 4; n <= 30; ++n) EXPECT_EQ(Requests(n), 0) << n;
  EXPECT_TRUE(FolderEntries().empty());
  EXPECT_EQ(app.state.failedCount, 0);  // stopped chapters are not failures
  EXPECT_TRUE(FailureLines(app.log.Text()).empty());
  EXPECT_TRUE(LogHas("】已取消！文件《测试书》，链接：" + server.Url("/book/")));
  EXPECT_EQ(LogFile(), app.log.Text());
  EXPECT_TRUE(app.chapters.Empty());
  EXPECT_TRUE(model.ListItems().empty());
  ExpectIdleWindow();
}

// The desktop window's UI thread handles the click while the run goes on the
// command thread. Chapters past the 40th wait at the server until the click,
// so that the run is still going when it comes however slow the machine.
TEST_F(CancelAndClose, CancelFromTheWindowStopsWithinOneRoundOfFetches) {
  const auto clicked = std::make_shared<test::Gate>();
  const test::OpenOnExit release(*clicked);
  server.Get(R"(/book/(\d+)\.html)",
             [clicked](const httplib::Request& req, httplib::Response& res) {
               const int n = std::stoi(req.matches[1]);
               if (n > 40) clicked->Wait(60s);
               res.set_content(ChapterPage(n), "text/html");
             });
  AddChapters(300);
  ReadyForChapters();

  bool result = true;
  CommandThread commands(app);
  ASSERT_TRUE(commands.Start([&] { result = ExecuteCommand(app); }));
  ASSERT_TRUE(test::WaitUntil([&] { return server.Requests().size() >= 20; }, 60s));
  CancelOrReset(app);
  // Counted after the click: only the chapters already on their way, one per
  // thread, may still reach the server.
  const std::size_t requestsWhenPressed = server.Requests().size();
  clicked->Open();
  commands.Wait();
  EXPECT_FALSE(result);
  EXPECT_LE(server.Requests().size(), requestsWhenPressed + 3);
  EXPECT_TRUE(FolderEntries().empty());
  EXPECT_TRUE(LogHas("】已取消！文件《测试书》"));
  ExpectIdleWindow();
}

// A cancel that lands on the last chapter in flight: the run must not go on
// to save a book with that chapter silently empty.
TEST_F(CancelAndClose, CancelDuringTheLastChapterSavesNoBookWithAHole) {
  server.Get("/book/3.html", [this](const httplib::Request&, httplib::Response& res) {
    CancelOrReset(app);
    res.set_content(ChapterPage(3), "text/html");
  });
  app.state.threadCount = 1;
  AddChapters(3);
  ReadyForChapters();

  EXPECT_FALSE(ExecuteCommand(app));
  EXPECT_TRUE(FolderEntries().empty());
  EXPECT_FALSE(LogHas("】已保存！"));
  EXPECT_TRUE(LogHas("】已取消！文件《测试书》"));
  ExpectIdleWindow();
}

TEST_F(CancelAndClose, CancelInTaskTwoOfThreeStillRunsTaskThree) {
  const std::string names[] = {"甲书", "乙书", "丙书"};
  const std::string folders[] = {"a", "b", "c"};
  for (int t = 0; t < 3; ++t) server.Serve("/" + folders[t] + "/", ContentsPage(names[t], 1, 3));
  server.Get(R"(/([abc])/(\d)\.html)", [this](const httplib::Request& req, httplib::Response& res) {
    const int task = req.matches[1].str()[0] - 'a' + 1;
    const int n = std::stoi(req.matches[2]);
    if (task == 2 && n == 2) CancelOrReset(app);
    res.set_content(ChapterPage(100 * task + n), "text/html");
  });
  app.state.threadCount = 1;
  model.SetBox(Box::SaveName, "");
  AcceptBatchList(app, server.Url("/a/") + "\r\n" + server.Url("/b/") + "\r\n" + server.Url("/c/"),
                  true);
  RunBatchTasks(app);

  const auto bookOf = [](int task) {
    std::string book;
    for (int n = 1; n <= 3; ++n) book += Title(n) + "\r\n" + ChapterText(100 * task + n) + "\r\n";
    return book;
  };
  EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"丙书.txt", "甲书.txt"}));
  EXPECT_EQ(test::ReadFile(folder / "甲书.txt"), bookOf(1));
  EXPECT_EQ(test::ReadFile(folder / "丙书.txt"), bookOf(3));
  EXPECT_EQ(server.RequestCount("/b/3.html"), 0);
  for (int n = 1; n <= 3; ++n)
    EXPECT_EQ(server.RequestCount("/c/" + std::to_string(n) + ".html"), 1);
  EXPECT_TRUE(LogHas("】已取消！文件《乙书》，链接：" + server.Url("/b/")));
  EXPECT_TRUE(LogHas("】已保存！文件《甲书》"));
  EXPECT_TRUE(LogHas("】已保存！文件《丙书》"));
  EXPECT_EQ(app.settings.Read(keys::Webs), "");
  EXPECT_EQ(LogFile(), app.log.Text());
  EXPECT_FALSE(app.state.batchMode);
  ExpectIdleWindow();
}

TEST_F(CancelAndClose, CloseDuringTheContentsFetchEndsTheProcess) {
  bool closeAllowed = true;
  server.Get("/book/", [&](const httplib::Request&, httplib::Response& res) {
    closeAllowed = QueryClose(app);
    res.set_content(ContentsPage("示例书", 1, 4), "text/html");
  });
  ReadyForContents("/book/");
  EXPECT_FALSE(ExecuteCommand(app));
  EXPECT_FALSE(closeAllowed);  // refused while the command runs
  EXPECT_TRUE(shell.EndProcessCalled());
  EXPECT_EQ(LogFile(), "earlier log");
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(CancelAndClose, CloseDuringPagingEndsTheProcess) {
  server.Serve("/book/", ContentsPage("示例书", 1, 3, "list_2.html"));
  server.Get("/book/list_2.html", [this](const httplib::Request&, httplib::Response& res) {
    QueryClose(app);
    res.set_content(ContentsPage("示例书", 4, 6, "list_3.html"), "text/html");
  });
  model.SetOption(Option::NextPage, true);
  ReadyForContents("/book/");
  EXPECT_FALSE(ExecuteCommand(app));
  EXPECT_TRUE(shell.EndProcessCalled());
  EXPECT_EQ(server.RequestCount("/book/list_3.html"), 0);
  EXPECT_EQ(LogFile(), "earlier log");
}

TEST_F(CancelAndClose, CloseDuringTheChapterRunSavesNothing) {
  PressDuringChapter(2, [this] { QueryClose(app); });
  AddChapters(30);
  ReadyForChapters();

  EXPECT_FALSE(ExecuteCommand(app));
  EXPECT_TRUE(shell.EndProcessCalled());
  for (int n = 4; n <= 30; ++n) EXPECT_EQ(Requests(n), 0) << n;
  EXPECT_TRUE(FolderEntries().empty());
  EXPECT_EQ(LogFile(), "earlier log");
  EXPECT_EQ(GbkToUtf8(model.Status()), "\r\n 终止线程，请耐心等待...\r\n\r\n 稍后将结束程序！");
}

TEST_F(CancelAndClose, CloseDuringTheLastChapterSavesNothing) {
  server.Get("/book/3.html", [this](const httplib::Request&, httplib::Response& res) {
    QueryClose(app);
    res.set_content(ChapterPage(3), "text/html");
  });
  app.state.threadCount = 1;
  AddChapters(3);
  ReadyForChapters();

  EXPECT_FALSE(ExecuteCommand(app));
  EXPECT_TRUE(shell.EndProcessCalled());
  EXPECT_TRUE(FolderEntries().empty());
  EXPECT_EQ(LogFile(), "earlier log");
}

TEST_F(CancelAndClose, CloseDuringABatchKeepsTheRestOfTheTaskList) {
  server.Serve("/a/", ContentsPage("甲书", 1, 2));
  server.Get("/b/", [this](const httplib::Request&, httplib::Response& res) {
    QueryClose(app);
    res.set_content(ContentsPage("乙书", 1, 2), "text/html");
  });
  server.Serve("/c/", ContentsPage("丙书", 1, 2));
  server.Get(R"(/[abc]/(\d)\.html)", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(ChapterPage(std::stoi(req.matches[1])), "text/html");
  });
  model.SetBox(Box::SaveName, "");
  AcceptBatchList(app, server.Url("/a/") + "\r\n" + server.Url("/b/") + "\r\n" + server.Url("/c/"),
                  true);
  RunBatchTasks(app);

  EXPECT_TRUE(shell.EndProcessCalled());
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"甲书.txt"});
  EXPECT_EQ(server.RequestCount("/b/1.html"), 0);
  EXPECT_EQ(server.RequestCount("/c/"), 0);
  EXPECT_EQ(app.settings.Read(keys::Webs), server.Url("/b/") + "||" + server.Url("/c/") + "||");
  EXPECT_EQ(LogFile(), "earlier log");
}

}  // namespace
}  // namespace tarnlow::faults

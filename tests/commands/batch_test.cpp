// Batch runs through the window model against a local server.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/app.h"
#include "app/run_log.h"
#include "commands/batch.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using test::Gbk;

std::string Contents(const std::string& book, int chapters) {
  std::string links;
  for (int n = 1; n <= chapters; ++n) {
    links += "<a href=\"" + std::to_string(n) + ".html\">" + Gbk("第") + std::to_string(n) +
             Gbk("章") + "</a>";
  }
  return "<html><head><meta property=\"og:novel:book_name\" content=\"" + Gbk(book) +
         "\"/></head><body><div id=\"list\">" + links + "</div></body></html>";
}

std::string Chapter(const std::string& text) {
  return "<html><body><div id=\"content\">" + text +
         "<br />b<br />c<br />d<br />e</div></body></html>";
}

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir.Path() / "Download");
    app.state.downloadFolder = (dir.Path() / "Download").string();
    app.state.delayMs = 1;
    app.state.threadCount = 2;
    for (const char* book : {"a", "b", "c"}) {
      const std::string root = std::string("/") + book + "/";
      server.Serve(root, Contents(std::string("书") + book, 2));
      for (int n = 1; n <= 2; ++n) {
        server.Serve(root + std::to_string(n) + ".html", Chapter(book + std::to_string(n)));
      }
    }
    // What the stored list and the address box hold whenever the run shows
    // a status.
    model.SetStatusHook([this](const std::string&) {
      seen[model.GetBox(Box::Address)] = app.settings.Read(keys::Webs);
    });
  }
  std::string Url(const char* path) { return server.Url(path); }

  test::TempDir dir;
  test::TestServer server;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app{model, shell, dir.Path()};
  std::map<std::string, std::string> seen;
};

TEST_F(BatchTest, AcceptsOnlyAddressesWithAPath) {
  AcceptBatchList(
      app, Url("/a/") + "\r\nnot an address\r\nhttp://www.book.com\r\n\r\n" + Url("/b/"), false);
  EXPECT_EQ(app.settings.Read(keys::Webs), Url("/a/") + "||" + Url("/b/") + "||");
  EXPECT_TRUE(app.batchTasks.empty());  // the right click only stores
  AcceptBatchList(app, Url("/a/"), true);
  EXPECT_EQ(app.batchTasks, std::vector<std::string>{Url("/a/")});
}

TEST_F(BatchTest, DialogOffersTheAddressBeingWorkedOn) {
  EXPECT_EQ(BatchDialogText(app), "");
  model.SetBox(Box::Address, "X");
  EXPECT_EQ(BatchDialogText(app), "X\r\n");
  app.settings.Write(keys::Webs, "A||X||");
  EXPECT_EQ(BatchDialogText(app), "A\r\nX\r\n");
  model.SetBox(Box::Address, "Y");
  EXPECT_EQ(BatchDialogText(app), "A\r\nX\r\nY\r\n");
}

TEST_F(BatchTest, CopiedAddressesOfferedOnceAsNewTasks) {
  model.SetBox(Box::Address, "http://www.a.com/in-box/");
  app.settings.Write(keys::Webs, "http://www.a.com/stored/||");
  const struct {
    const char* text;
    bool offered;
  } rows[] = {
      {"http://www.a.com/book/12/", true},
      {"http://www.a.com/book/12.html", true},
      {"http://www.a.com/", false},  // a site, not a book
      {"http://www.a.com", false},
      {"copied words", false},
      {"http://www.a.com/book/12/\n", false},  // a line break cannot be stored
      {"http://www.a.com/in-box/", false},
      {"http://www.a.com/stored/", false},
      {"", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsNewBatchAddress(app, row.text), row.offered) << row.text;
  EXPECT_TRUE(AddBatchAddress(app, "http://www.a.com/book/12/"));
  EXPECT_FALSE(AddBatchAddress(app, "http://www.a.com/book/12/"));
  EXPECT_EQ(app.settings.Read(keys::Webs), "http://www.a.com/stored/||http://www.a.com/book/12/||");
  EXPECT_FALSE(IsNewBatchAddress(app, "http://www.a.com/book/12/"));
}

TEST_F(BatchTest, RunsEveryTaskShrinkingTheStoredList) {
  server.Serve("/b/", "down", "text/html", 503);  // task 2's contents fail
  AcceptBatchList(app, Url("/a/") + "\r\n" + Url("/b/") + "\r\n" + Url("/c/"), true);
  RunBatchTasks(app);

  EXPECT_EQ(seen[Url("/b/")], Url("/b/") + "||" + Url("/c/") + "||");
  EXPECT_EQ(seen[Url("/c/")], Url("/c/") + "||");
  EXPECT_EQ(app.settings.Read(keys::Webs), "");
  EXPECT_TRUE(app.batchTasks.empty());
  EXPECT_FALSE(app.state.busy);
  EXPECT_FALSE(app.state.batchMode);
  EXPECT_EQ(model.Title(), WindowTitle());
  EXPECT_TRUE(shell.Messages().empty());

  ASSERT_EQ(app.savedBooks.size(), 2u);
  EXPECT_EQ(test::ReadFile(dir.Path() / "Download" / "书a.txt"),
            Gbk("第1章\r\na1\r\nb\r\nc\r\nd\r\ne\r\n\r\n第2章\r\na2\r\nb\r\nc\r\nd\r\ne\r\n\r\n"));
  EXPECT_TRUE(fs::exists(dir.Path() / "Download" / "书c.txt"));

  // log.log holds the whole batch, newest first.
  const std::string log = GbkToUtf8(test::ReadFile(dir.Path() / "log.log").value_or(""));
  const auto savedC = log.find("】已保存！文件《书c》");
  const auto failedB = log.find("】批处理：目录访问失败！ 链接：" + Url("/b/"));
  const auto savedA = log.find("】已保存！文件《书a》");
  ASSERT_NE(failedB, std::string::npos);
  EXPECT_LT(savedC, failedB);
  EXPECT_LT(failedB, savedA);
}

// Every chapter run shows its counts at least once, at its end, however
// quickly its chapters come.
TEST_F(BatchTest, ProgressShowsTheTaskCountAndNumber) {
  AcceptBatchList(app, Url("/a/") + "\r\n" + Url("/b/") + "\r\n" + Url("/c/"), true);
  RunBatchTasks(app);
  bool seenTask2 = false;
  for (const auto& s : model.StatusHistory()) {
    seenTask2 = seenTask2 || GbkToUtf8(s.text).rfind(" 任务数量：3\r\n 当前任务：2\r\n", 0) == 0;
  }
  EXPECT_TRUE(seenTask2);
}

TEST_F(BatchTest, CancelEndsOnlyTheTaskInProgress) {
  server.Get("/b/1.html", [this](const httplib::Request&, httplib::Response& res) {
    app.state.cancelRequested = true;
    res.set_content(Chapter("b1"), "text/html");
  });
  AcceptBatchList(app, Url("/a/") + "\r\n" + Url("/b/") + "\r\n" + Url("/c/"), true);
  RunBatchTasks(app);
  EXPECT_TRUE(fs::exists(dir.Path() / "Download" / "书a.txt"));
  EXPECT_FALSE(fs::exists(dir.Path() / "Download" / "书b.txt"));
  EXPECT_TRUE(fs::exists(dir.Path() / "Download" / "书c.txt"));
  EXPECT_NE(GbkToUtf8(app.log.Text()).find("】已取消！文件《书b》，链接：" + Url("/b/")),
            std::string::npos);
}

TEST_F(BatchTest, NoValidTaskSaysSo) {
  AcceptBatchList(app, "nothing here\r\n", true);
  RunBatchTasks(app);
  ASSERT_EQ(shell.Messages().size(), 1u);
  EXPECT_EQ(shell.Messages()[0].text, Gbk("任务无效！"));
  EXPECT_EQ(app.settings.Read(keys::Webs), "");
}

}  // namespace
}  // namespace tarnlow

// The engine commands of tarnlow-cli, run as a process against local
// servers: what the user sees on the terminal, and the files written.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "tests/cli/program.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "tests/support/wait.h"
#include "text/codepage.h"
#include "tools/sample_site/sample_book.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using test::Gbk;
using test::RunProgram;

// The book the sample site serves, as the program writes it: each chapter's
// lines, the advertising line removed by the example rules (its line stays
// empty), every line but the first keeping the four spaces it had.
std::string ExpectedSampleBook() {
  std::string book;
  for (const auto& chapter : sample::Chapters()) {
    std::string text;
    int line = 0;
    for (const char* l : chapter.lines) {
      text += (line == 0 ? "" : "    ") + std::string(l) + "\r\n\r\n";
      if (++line == 2) text += "    \r\n\r\n";
    }
    book += std::string(chapter.title) + "\r\n" + text + "\r\n\r\n";
  }
  return Gbk(book);
}

class CliCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [path, page] : sample::Pages()) server.Serve(path, page, "text/html");
    fs::create_directory(home.Path() / "Download");
    fs::copy_file(fs::path(TARNLOW_CLI_PATH).parent_path() / "cleantxt.list",
                  home.Path() / "cleantxt.list");
  }
  std::vector<std::string> Args(std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home.Path().string(), "--delay", "1"});
    return args;
  }
  test::TempDir home;
  test::TestServer server;
};

TEST_F(CliCommands, ContentsListsNameTitlesAndAddresses) {
  const auto run = RunProgram(Args({"contents", server.Url("/book/")}));
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected = "灯塔守夜人\n";
  for (std::size_t n = 1; n <= sample::Chapters().size(); ++n) {
    expected += std::string(sample::Chapters()[n - 1].title) + "\t" +
                server.Url("/book/" + std::to_string(n) + ".html") + "\n";
  }
  EXPECT_EQ(run.out, expected);

  const auto onePage = RunProgram(
      Args({"contents", "--next-page", "0", "--name-format", "1", server.Url("/book/")}));
  EXPECT_EQ(onePage.out.substr(0, onePage.out.find('\n')), "林晚舟 - 灯塔守夜人");
  EXPECT_EQ(std::count(onePage.out.begin(), onePage.out.end(), '\n'), 4);
}

// The list finder is on unless --auto-list 0 turns it off for the run.
TEST_F(CliCommands, ContentsWithoutTheListFinderListsEveryLink) {
  server.Serve("/nav/",
               Gbk("<div><a href=\"/rank.html\">排行榜单</a></div><dl>"
                   "<dd><a href=\"1.html\">第一章</a></dd><dd><a href=\"2.html\">第二章</a></dd>"
                   "<dd><a href=\"3.html\">第三章</a></dd></dl>"));
  const std::string rank = "排行榜单\t" + server.Url("/rank.html") + "\n";
  const auto listOnly = RunProgram(Args({"contents", server.Url("/nav/")}));
  ASSERT_EQ(listOnly.status, 0) << listOnly.err;
  EXPECT_EQ(listOnly.out.find(rank), std::string::npos);
  EXPECT_EQ(std::count(listOnly.out.begin(), listOnly.out.end(), '\n'), 4);

  const auto everyLink = RunProgram(Args({"contents", "--auto-list", "0", server.Url("/nav/")}));
  EXPECT_NE(everyLink.out.find(rank), std::string::npos);
  EXPECT_EQ(std::count(everyLink.out.begin(), everyLink.out.end(), '\n'), 5);
}

TEST_F(CliCommands, FailuresGoToStandardErrorAsMessageLines) {
  server.Serve("/gone/", "x", "text/html", 404);
  const auto run = RunProgram(Args({"contents", "--retry", "0", server.Url("/gone/")}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("提示:  网页获取失败！错误代码：\\n\\nHTTP/1.1 404 Not Found\n"),
            std::string::npos)
      << run.err;

  const auto home = RunProgram(Args({"get", "http://www.book.com/"}));
  EXPECT_EQ(home.status, 1);
  EXPECT_NE(home.err.find("提示: 该地址为主域名，不能处理！\n"), std::string::npos);
}

TEST_F(CliCommands, PreviewUsesTheTextMarks) {
  const auto run = RunProgram(Args({"preview", server.Url("/book/2.html")}));
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("第二天清晨", 0), 0u) << run.out;
  const auto marked = RunProgram(
      Args({"preview", "--text-begin", "<h1>", "--text-end", "</h1>", server.Url("/book/2.html")}));
  EXPECT_EQ(marked.out, "第二章 来信\r\n");
}

// A body in unclosed paragraphs: the built-in search finds nothing, the body
// finder the text. The setting (default on) and the option decide.
TEST_F(CliCommands, PreviewFindsTheBodyByItselfUnlessTurnedOff) {
  std::string body;
  std::string expected;
  for (const char* line : {"雾很大，码头上一个人也没有。", "灯亮了，光一圈一圈地扫过海面。",
                           "船在海上，找回家的路。", "她守着灯，一直到天亮。"}) {
    body += std::string("<p>　　") + line;
    expected += std::string(expected.empty() ? "" : "\r\n　　") + line;
  }
  server.Serve("/p.html", Gbk("<html><body><div class=\"text\">" + body + "</div></body></html>"));
  const auto found = RunProgram(Args({"preview", server.Url("/p.html")}));
  EXPECT_EQ(found.out, expected + "\r\n\r\n");
  const auto off = RunProgram(Args({"preview", "--auto-text", "0", server.Url("/p.html")}));
  EXPECT_EQ(off.out, "");
  home.Write("config.ini", "[config]\r\nAutoText=0\r\n");
  EXPECT_EQ(RunProgram(Args({"preview", server.Url("/p.html")})).out, "");
  EXPECT_EQ(RunProgram(Args({"preview", "--auto-text=1", server.Url("/p.html")})).out, found.out);
}

// The same for a whole book: a chapter in unclosed paragraphs gets its text
// by the body finder unless it is turned off.
TEST_F(CliCommands, GetFindsBodiesByItselfUnlessTurnedOff) {
  std::string body;
  for (int i = 0; i < 6; ++i) body += "<p>　　灯塔的光扫过海面，雾里有一条船。";
  server.Serve("/book/1.html",
               Gbk("<html><body><div class=\"text\">" + body + "</div></body></html>"));
  const auto bookOf = [](const test::ProgramRun& run) {
    return GbkToUtf8(test::ReadFile(run.out.substr(0, run.out.size() - 1)).value_or(""));
  };
  const auto found = RunProgram(Args({"get", server.Url("/book/")}));
  ASSERT_EQ(found.status, 0) << found.err;
  const std::string chapterOne = "第一章 雾起\r\n灯塔的光扫过海面，雾里有一条船。\r\n";
  EXPECT_EQ(bookOf(found).rfind(chapterOne, 0), 0u) << bookOf(found);
  const auto off = RunProgram(Args({"get", "--auto-text", "0", server.Url("/book/")}));
  ASSERT_EQ(off.status, 0) << off.err;
  EXPECT_EQ(bookOf(off).rfind("第一章 雾起\r\n\r\n第二章", 0), 0u) << bookOf(off);
}

// A chapter page with no text: the run names it on standard error and in the
// log, once; with HealthReport=0 nothing is said.
TEST_F(CliCommands, GetNamesAnEmptyChapterUnlessTheReportIsOff) {
  server.Serve("/book/2.html", "<html><body></body></html>");
  const std::string line = "体检：1 章可能有问题：第2章《第二章";
  const auto count = [](const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  const auto run = RunProgram(Args({"get", server.Url("/book/")}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(count(run.err, line), 1) << run.err;
  const std::string log = GbkToUtf8(test::ReadFile(home.Path() / "log.log").value_or(""));
  EXPECT_EQ(count(log, line), 1) << log;

  home.Write("config.ini", "[config]\r\nHealthReport=0\r\n");
  const auto off = RunProgram(Args({"get", server.Url("/book/")}));
  ASSERT_EQ(off.status, 0) << off.err;
  EXPECT_EQ(count(off.err, "体检"), 0) << off.err;
  EXPECT_EQ(count(GbkToUtf8(test::ReadFile(home.Path() / "log.log").value_or("")), "体检"), 0);
}

TEST_F(CliCommands, GetSavesTheBookAndTheLog) {
  const auto run = RunProgram(Args({"get", server.Url("/book/")}));
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path book = home.Path() / "Download" / "灯塔守夜人.txt";
  EXPECT_EQ(run.out, book.string() + "\n");
  EXPECT_EQ(test::ReadFile(book), ExpectedSampleBook());
  EXPECT_NE(GbkToUtf8(test::ReadFile(home.Path() / "log.log").value_or(""))
                .find("】已保存！文件《灯塔守夜人》"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(home.Path() / "config.ini"));  // options are never written back

  // A second run never overwrites; options choose name and line mode.
  const auto again =
      RunProgram(Args({"get", "--name", "a/b", "--line-mode", "1", server.Url("/book/")}));
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, (home.Path() / "Download" / "ab.txt").string() + "\n");
}

TEST_F(CliCommands, BatchRunsGivenAndStoredAddresses) {
  const auto run = RunProgram(Args({"batch", server.Url("/book/"), "junk", server.Url("/book/")}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, (home.Path() / "Download" / "灯塔守夜人.txt").string() + "\n" +
                         (home.Path() / "Download" / "灯塔守夜人_1.txt").string() + "\n");
  // Addresses given for one run leave the stored list as it was: none here.
  EXPECT_FALSE(fs::exists(home.Path() / "config.ini"));

  const auto nothing = RunProgram(Args({"batch"}));
  EXPECT_EQ(nothing.status, 1);
  EXPECT_NE(nothing.err.find("提示: 任务无效！"), std::string::npos);

  home.Write("config.ini", "[config]\r\nWebs=" + server.Url("/book/") + "||\r\n");
  const auto stored = RunProgram(Args({"batch"}));
  EXPECT_EQ(stored.status, 0) << stored.err;
  EXPECT_EQ(stored.out, (home.Path() / "Download" / "灯塔守夜人_2.txt").string() + "\n");
}

// Whether a SIGINT sent to `pid` still waits to be taken.
bool InterruptPending(pid_t pid) {
  const std::string status =
      test::ReadFile("/proc/" + std::to_string(pid) + "/status").value_or("");
  for (const std::string field : {"\nSigPnd:", "\nShdPnd:"}) {
    const std::size_t at = status.find(field);
    if (at == std::string::npos) continue;
    const unsigned long long pending = std::stoull(status.substr(at + field.size()), nullptr, 16);
    if ((pending & (1ull << (SIGINT - 1))) != 0) return true;
  }
  return false;
}

TEST_F(CliCommands, CtrlCCancelsThenEnds) {
  // A chapter page comes only when the test is over: the run is under way
  // whenever a Ctrl+C comes, and only the Ctrl+C can end it.
  const auto over = std::make_shared<test::Gate>();
  const test::OpenOnExit release(*over);
  server.Get(R"(/slow/(\d+)\.html)", [over](const httplib::Request&, httplib::Response& res) {
    over->Wait(std::chrono::seconds(60));
    res.set_content(sample::Pages().at("/book/1.html"), "text/html");
  });
  std::string links;
  for (int n = 1; n <= 40; ++n) {
    links += "<a href=\"" + std::to_string(n) + ".html\">" + Gbk("第") + std::to_string(n) +
             Gbk("章") + "</a>";
  }
  server.Serve("/slow/", "<div>" + links + "</div>");

  // Ctrl+C `times` times once the run's first chapter has reached the server;
  // each after the one before has been taken, so that none is merged into it.
  const auto interrupt = [this](int times) {
    const int before = server.RequestCount("/slow/1.html");
    return [this, times, before](pid_t pid) {
      test::WaitUntil([&] { return server.RequestCount("/slow/1.html") > before; },
                      std::chrono::seconds(60));
      for (int i = 0; i < times; ++i) {
        test::WaitUntil([&] { return !InterruptPending(pid); });
        kill(pid, SIGINT);
      }
    };
  };
  const auto cancelled = test::RunProgram(
      TARNLOW_CLI_PATH, Args({"get", "--threads", "1", server.Url("/slow/")}), interrupt(1));
  EXPECT_EQ(cancelled.status, 1);
  EXPECT_NE(
      GbkToUtf8(test::ReadFile(home.Path() / "log.log").value_or("")).find("】已取消！文件《"),
      std::string::npos);
  EXPECT_TRUE(fs::is_empty(home.Path() / "Download"));

  fs::remove(home.Path() / "log.log");
  const auto ended = test::RunProgram(
      TARNLOW_CLI_PATH, Args({"get", "--threads", "1", server.Url("/slow/")}), interrupt(2));
  EXPECT_EQ(ended.status, 130);
  EXPECT_FALSE(fs::exists(home.Path() / "log.log"));
  EXPECT_TRUE(fs::is_empty(home.Path() / "Download"));
}

// What ./run demo does: the sample site program and the command-line
// program as two processes.
TEST(Demo, SampleSiteAndGetMakeTheSampleBook) {
  const fs::path bin = fs::path(TARNLOW_CLI_PATH).parent_path();
  test::TempDir home;
  fs::create_directory(home.Path() / "Download");
  fs::copy_file(bin / "cleantxt.list", home.Path() / "cleantxt.list");

  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::string site = (bin / "tarnlow-sample-site").string();
  char* argv[] = {site.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, site.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string address;
  char c;
  while (read(pipeFds[0], &c, 1) == 1 && c != '\n') address += c;
  close(pipeFds[0]);

  const auto run = RunProgram({"--home", home.Path().string(), "get", address});
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadFile(home.Path() / "Download" / "灯塔守夜人.txt"), ExpectedSampleBook());
}

}  // namespace
}  // namespace tarnlow

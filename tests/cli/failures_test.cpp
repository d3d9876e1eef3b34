// tarnlow-cli when things go wrong, run as a process against local servers:
// chapters that fail, answers that are empty or garbled, a download folder
// that cannot take the book, user files that are folders, a stored batch
// list, standard output that cannot be written, a connection reset. Each
// case checks the exit status, the files left behind and that no chapter
// text is lost or doubled.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/cli/program.h"
#include "tests/faults/book_fixture.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using faults::ChapterPage;
using faults::ExpectedBook;
using faults::FailureLines;
using faults::Title;
using test::Gbk;
using test::ProgramRun;
using test::RunProgram;

constexpr int kChapters = 10;

// A contents page naming the book and linking chapters 1..count below `dir`.
std::string ContentsPage(const std::string& bookUtf8, int count, const std::string& dir) {
  std::string links;
  for (int n = 1; n <= count; ++n) {
    links += "<a href=\"" + dir + std::to_string(n) + ".html\">" + Title(n) + "</a>";
  }
  return Gbk("<html><head><meta property=\"og:novel:book_name\" content=\"" + bookUtf8 +
             "\"/></head><body><div id=\"list\">") +
         links + "</div></body></html>";
}

// The lines of `text` that hold `part`.
std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(from, end - from);
    if (line.find(part) != std::string::npos) lines.push_back(line);
    from = end + 1;
  }
  return lines;
}

class CliFailures : public ::testing::Test {
 protected:
  CliFailures() {
    fs::create_directory(Download());
    server.Serve("/book/", ContentsPage("测试书", kChapters, "/book/"));
    server.Get(R"(/book/(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(ChapterPage(std::stoi(req.matches[1])), "text/html");
    });
  }

  ProgramRun Run(std::vector<std::string> args,
                 const test::StandardOutput& output = test::StandardOutput()) {
    args.insert(args.begin(), {"--home", home.Path().string(), "--delay", "1"});
    return RunProgram(TARNLOW_CLI_PATH, args, {}, output);
  }
  fs::path Download() const { return home.Path() / "Download"; }
  fs::path BookPath(const std::string& utf8Name) const { return Download() / (utf8Name + ".txt"); }
  std::string Log() const {
    return GbkToUtf8(test::ReadFile(home.Path() / "log.log").value_or("<none>"));
  }
  int Requests(int n) const { return server.RequestCount("/book/" + std::to_string(n) + ".html"); }
  int ChapterRequests() const {
    int total = 0;
    for (int n = 1; n <= kChapters; ++n) total += Requests(n);
    return total;
  }

  test::TempDir home;
  test::TestServer server;
};

TEST_F(CliFailures, FailedChaptersGiveExitThreeAndAreNamed) {
  for (int n : {3, 7})
    server.Serve("/book/" + std::to_string(n) + ".html", "busy", "text/html", 500);

  const ProgramRun run = Run({"get", "--retry", "1", server.Url("/book/")});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(run.out, BookPath("测试书").string() + "\n");
  EXPECT_EQ(test::ReadFile(BookPath("测试书")), ExpectedBook(kChapters, {3, 7}));
  EXPECT_NE(run.err.find("  3\t第3章\n  7\t第7章\n"), std::string::npos) << run.err;
  EXPECT_EQ(LinesWith(run.err, "\t第").size(), 2u) << run.err;
  // The last progress line is the run's result, however the lines were spaced.
  const auto progress = LinesWith(run.err, " chapters, ");
  ASSERT_FALSE(progress.empty()) << run.err;
  EXPECT_EQ(progress.back(), "10/10 chapters, 0 reading, 0 queued, 2 failed");

  const std::string log = Log();
  const auto failures = FailureLines(test::ReadFile(home.Path() / "log.log").value_or(""));
  EXPECT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures.count("第3章"), 1u);
  EXPECT_EQ(failures.count("第7章"), 1u);
  EXPECT_NE(log.find("】已保存！文件《测试书》"), std::string::npos);
  for (int n = 1; n <= kChapters; ++n) EXPECT_EQ(Requests(n), n == 3 || n == 7 ? 2 : 1) << n;
}

TEST_F(CliFailures, EmptyAndUndecodableAnswersAreRetriedThenCountAsFailed) {
  server.Serve("/book/2.html", "");
  server.Serve("/book/4.html", "<html>not gzip</html>", "text/html", 200,
               {{"Content-Encoding", "gzip"}});
  const std::string whole = test::GzipBytes(ChapterPage(6));
  server.Serve("/book/6.html", whole.substr(0, whole.size() / 2), "text/html", 200,
               {{"Content-Encoding", "gzip"}});
  // Empty once, whole the second time: the retry brings the chapter.
  std::atomic<int> eighth{0};
  server.Get(R"(/book/8\.html)", [&eighth](const httplib::Request&, httplib::Response& res) {
    res.set_content(eighth++ == 0 ? std::string() : ChapterPage(8), "text/html");
  });

  const ProgramRun run = Run({"get", "--retry", "1", server.Url("/book/")});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(test::ReadFile(BookPath("测试书")), ExpectedBook(kChapters, {2, 4, 6}));
  EXPECT_NE(run.err.find("  2\t第2章\n  4\t第4章\n  6\t第6章\n"), std::string::npos) << run.err;
  EXPECT_EQ(FailureLines(test::ReadFile(home.Path() / "log.log").value_or("")).size(), 3u);
  for (int n : {2, 4, 6, 8}) EXPECT_EQ(Requests(n), 2) << n;
}

TEST_F(CliFailures, FolderAndNameAreCheckedBeforeTheFirstChapter) {
  // A missing folder, and a file where the folder should be: refused before
  // any chapter is fetched, with the folder named.
  fs::remove(Download());
  ProgramRun run = Run({"get", server.Url("/book/")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("下载文件夹不存在：" + Download().string()), std::string::npos) << run.err;
  run = Run({"batch", server.Url("/book/")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("批处理任务失败（未能保存）：" + server.Url("/book/")), std::string::npos)
      << run.err;
  EXPECT_NE(Log().find("】批处理：保存失败！下载文件夹不存在：" + Download().string()),
            std::string::npos);
  home.Write("Download", "a file");
  run = Run({"get", server.Url("/book/")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("下载文件夹不是文件夹：" + Download().string()), std::string::npos)
      << run.err;
  EXPECT_EQ(ChapterRequests(), 0);
  fs::remove(Download());
  fs::create_directory(Download());

  // A title of 150 characters (450 bytes) is cut at a character boundary,
  // keeping ".txt"; a line break in a name is dropped.
  std::string longTitle;
  for (int i = 0; i < 150; ++i) longTitle += "长";
  server.Serve("/long/", ContentsPage(longTitle, kChapters, "/book/"));
  run = Run({"get", server.Url("/long/")});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(fs::path(run.out).parent_path(), Download());
  const std::string fileName = fs::path(run.out.substr(0, run.out.size() - 1)).filename().string();
  EXPECT_LE(fileName.size(), 255u);
  EXPECT_GE(fileName.size(), 200u);
  ASSERT_TRUE(fileName.ends_with(".txt")) << fileName;
  const std::string base = fileName.substr(0, fileName.size() - 4);
  EXPECT_EQ(base.size() % 3, 0u);
  EXPECT_TRUE(longTitle.starts_with(base));
  EXPECT_EQ(test::ReadFile(Download() / fileName), ExpectedBook(kChapters, {}));

  run = Run({"get", "--name", "甲\n乙\t丙", server.Url("/book/")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, BookPath("甲乙丙").string() + "\n");
  EXPECT_EQ(test::ReadFile(BookPath("甲乙丙")), ExpectedBook(kChapters, {}));

  // The folder goes away while the chapters download: the save fails, and
  // the book is written to a file of its own in the program directory.
  server.Get(R"(/book/10\.html)", [this](const httplib::Request&, httplib::Response& res) {
    fs::remove_all(Download());
    res.set_content(ChapterPage(10), "text/html");
  });
  run = Run({"get", server.Url("/book/")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  const auto rescued = LinesWith(run.err, "全书已写入临时文件：");
  ASSERT_EQ(rescued.size(), 1u) << run.err;
  const fs::path rescuedPath = rescued[0].substr(rescued[0].find("：") + 3);
  EXPECT_EQ(rescuedPath.parent_path(), home.Path());
  EXPECT_EQ(test::ReadFile(rescuedPath), ExpectedBook(kChapters, {}));
  EXPECT_NE(Log().find("已写入临时文件：" + rescuedPath.string()), std::string::npos);
}

TEST_F(CliFailures, UserFilesThatAreFoldersCountAsMissing) {
  for (const char* name : {"cleantxt.list", "config.ini", "log.log"}) {
    fs::create_directory(home.Path() / name);
  }
  for (const char* command : {"contents", "preview"}) {
    const std::string address =
        server.Url(command == std::string("contents") ? "/book/" : "/book/1.html");
    const ProgramRun run = Run({command, address});
    EXPECT_EQ(run.status, 0) << command << run.err;
    EXPECT_EQ(
        LinesWith(run.err, "无法读取 cleantxt.list（是一个文件夹），按文件不存在处理。").size(), 1u)
        << run.err;
  }
  ProgramRun run = Run({"get", server.Url("/book/")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadFile(BookPath("测试书")), ExpectedBook(kChapters, {}));
  EXPECT_EQ(LinesWith(run.err, "无法读取 config.ini（是一个文件夹）").size(), 1u) << run.err;
  EXPECT_EQ(LinesWith(run.err, "无法写入 log.log（是一个文件夹）").size(), 1u) << run.err;
  for (const char* name : {"cleantxt.list", "config.ini", "log.log"}) {
    EXPECT_TRUE(fs::is_directory(home.Path() / name)) << name;
  }

  // A rule that does not compile is named once, however many chapters skip it.
  for (const char* name : {"cleantxt.list", "config.ini", "log.log"})
    fs::remove(home.Path() / name);
  home.Write("cleantxt.list", Gbk("本站广告\r\n(未完\r\n"));
  run = Run({"get", server.Url("/book/")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(LinesWith(run.err, "清除规则有误，已跳过：(未完").size(), 1u) << run.err;
  EXPECT_EQ(test::ReadFile(BookPath("测试书_1")), ExpectedBook(kChapters, {}));
}

TEST_F(CliFailures, BatchOfGivenAddressesLeavesTheStoredListAlone) {
  server.Serve("/stored/", ContentsPage("存书", 3, "/book/"));
  const std::string config = "[config]\r\nWebs=" + server.Url("/stored/") + "||\r\n";
  home.Write("config.ini", config);

  ProgramRun run = Run({"batch", server.Url("/book/"), server.Url("/gone/")});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, BookPath("测试书").string() + "\n");
  EXPECT_NE(run.err.find("批处理任务失败（没有取得目录列表）：" + server.Url("/gone/")),
            std::string::npos)
      << run.err;
  EXPECT_EQ(test::ReadFile(home.Path() / "config.ini"), config);
  EXPECT_EQ(test::ReadFile(BookPath("测试书")), ExpectedBook(kChapters, {}));
  EXPECT_FALSE(fs::exists(BookPath("存书")));

  // Alone, batch works through the stored list and empties it.
  run = Run({"batch"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, BookPath("存书").string() + "\n");
  EXPECT_EQ(test::ReadFile(BookPath("存书")), ExpectedBook(3, {}));
  EXPECT_EQ(test::ReadFile(home.Path() / "config.ini"), "[config]\r\nWebs=\r\n");
}

TEST_F(CliFailures, StandardOutputThatTakesNothingFailsTheCommand) {
  using Kind = test::StandardOutput::Kind;
  ProgramRun run = Run({"contents", server.Url("/book/")}, {Kind::File, "/dev/full"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("tarnlow-cli: 无法写入标准输出（磁盘空间不足）"), std::string::npos)
      << run.err;
  run = Run({"contents", server.Url("/book/")}, {Kind::Closed, ""});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("tarnlow-cli: 无法写入标准输出（已关闭）"), std::string::npos) << run.err;
  // The book is still saved whole; only its path could not be printed.
  run = Run({"get", server.Url("/book/")}, {Kind::File, "/dev/full"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(test::ReadFile(BookPath("测试书")), ExpectedBook(kChapters, {}));
}

// A server that resets the connection on one chapter, on a connection kept
// alive from the chapter before: each attempt is one request.
TEST_F(CliFailures, ResetConnectionIsOneRequestPerAttempt) {
  const std::string contents = ContentsPage("重置", 3, "/book/");
  test::RawServer site([&contents](test::RawConnection& c) {
    for (;;) {
      const std::string request = c.ReadRequest();
      if (request.empty()) return;
      const std::string path = request.substr(4, request.find(' ', 4) - 4);
      if (path == "/book/2.html") {
        c.Reset();
        return;
      }
      const std::string body =
          path == "/book/" ? contents : ChapterPage(path == "/book/1.html" ? 1 : 3);
      if (!c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\n\r\n" + body)) {
        return;
      }
    }
  });

  const ProgramRun run = Run({"get", "--threads", "1", "--retry", "2", site.Url("/book/")});
  EXPECT_EQ(run.status, 3) << run.err;
  int resets = 0;
  for (const std::string& request : site.Requests()) {
    resets += request.starts_with("GET /book/2.html ") ? 1 : 0;
  }
  EXPECT_EQ(resets, 3);
  EXPECT_EQ(test::ReadFile(BookPath("重置")), ExpectedBook(3, {2}));
}

}  // namespace
}  // namespace tarnlow

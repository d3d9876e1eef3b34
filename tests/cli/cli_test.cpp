// tarnlow-cli: option parsing in-process, and the built program run as a
// process against a local server.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "tests/cli/program.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"

namespace tarnlow {
namespace {

using cli::ParseArguments;
using test::Gbk;
using test::ProgramRun;
using test::RunProgram;

TEST(CliOptions, ValuesInBothSpellingsAndEmptyTexts) {
  const cli::ParseResult parsed = ParseArguments({"--home",
                                                  "/tmp/h",
                                                  "get",
                                                  "--list-begin=<dl>",
                                                  "--list-end",
                                                  "",
                                                  "--name",
                                                  "书名",
                                                  "--threads=5",
                                                  "--retry",
                                                  "0",
                                                  "--delay",
                                                  "300",
                                                  "--line-mode",
                                                  "2",
                                                  "--name-format=4",
                                                  "--next-page",
                                                  "1",
                                                  "--clean-dubious=0",
                                                  "--keep-dubious-with-marks",
                                                  "1",
                                                  "--renumber",
                                                  "0",
                                                  "--auto-list=0",
                                                  "--download=/tmp/d",
                                                  "--text-begin",
                                                  "a=b",
                                                  "http://x.y/1/"});
  ASSERT_EQ(parsed.error, "");
  const cli::CliOptions& o = parsed.options;
  EXPECT_EQ(o.home, "/tmp/h");
  EXPECT_EQ(o.command, "get");
  EXPECT_EQ(o.arguments, std::vector<std::string>{"http://x.y/1/"});
  EXPECT_EQ(o.listBegin, "<dl>");
  EXPECT_EQ(o.listEnd, "");
  EXPECT_EQ(o.name, Gbk("书名"));
  EXPECT_EQ(o.textBegin, "a=b");
  EXPECT_FALSE(o.textEnd.has_value());
  EXPECT_EQ(o.download, "/tmp/d");
  EXPECT_EQ(o.threads, 5);
  EXPECT_EQ(o.retry, 0);
  EXPECT_EQ(o.delayMs, 300);
  EXPECT_EQ(o.lineMode, 2);
  EXPECT_EQ(o.nameFormat, 4);
  EXPECT_EQ(o.nextPage, true);
  EXPECT_EQ(o.cleanDubious, false);
  EXPECT_EQ(o.keepDubiousWithMarks, true);
  EXPECT_EQ(o.renumber, false);
  EXPECT_EQ(o.autoList, false);
}

TEST(CliOptions, ArgumentsAreGbkAndDoubleDashEndsOptions) {
  const cli::ParseResult parsed = ParseArguments({"fetch", "--", "--not-an-option", "第一章"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.arguments, (std::vector<std::string>{"--not-an-option", Gbk("第一章")}));
}

TEST(CliOptions, HomeDefaultsToTheProgramsFolder) {
  cli::CliOptions options;
  EXPECT_EQ(cli::HomeDir(options), std::filesystem::read_symlink("/proc/self/exe").parent_path());
  options.home = "/tmp/elsewhere";
  EXPECT_EQ(cli::HomeDir(options), "/tmp/elsewhere");
}

TEST(CliOptions, Errors) {
  const std::vector<std::vector<std::string_view>> bad = {{"--bogus", "fetch"},
                                                          {"fetch", "--threads", "x"},
                                                          {"fetch", "--threads=0"},
                                                          {"fetch", "--threads", "10"},
                                                          {"fetch", "--retry=-1"},
                                                          {"fetch", "--line-mode", "3"},
                                                          {"fetch", "--name-format=5"},
                                                          {"fetch", "--renumber=2"},
                                                          {"fetch", "--delay", "1e3"},
                                                          {"fetch", "--name"},
                                                          {"--home"},
                                                          {"fetch", "--retry="}};
  for (const auto& args : bad) {
    const cli::ParseResult parsed = ParseArguments(args);
    std::string joined;
    for (std::string_view arg : args) joined += std::string(arg) + " ";
    EXPECT_FALSE(parsed.error.empty()) << joined;
  }
  EXPECT_NE(ParseArguments({"--threads=abc"}).error.find("--threads"), std::string::npos);
}

TEST(CliProgram, FetchPrintsThePageAsUtf8) {
  test::TestServer server;
  server.Serve("/gbk.html", Gbk("<html><head></head>\r\n<p>第一章&nbsp;风起</p></html>"));
  server.Serve("/utf8.html", "<html><head><meta charset=utf-8></head><p>第二章</p></html>");
  server.Serve("/missing.html", "", "text/html", 404);

  ProgramRun run = RunProgram({"fetch", server.Url("/gbk.html")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "<html><head></head><p>第一章 风起</p></html>\n");
  EXPECT_EQ(run.err, "");

  run = RunProgram({"--home", "/nonexistent", "fetch", server.Url("/utf8.html")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "<html><head><meta charset=utf-8></head><p>第二章</p></html>\n");

  run = RunProgram({"fetch", server.Url("/missing.html")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, " 网页获取失败！错误代码：\r\n\r\nHTTP/1.1 404 Not Found\n");
}

TEST(CliProgram, FetchOfAnUnreachableServer) {
  int port = 0;
  {
    test::RawServer closed([](test::RawConnection&) {});
    port = closed.Port();
  }
  const ProgramRun run = RunProgram({"fetch", "http://127.0.0.1:" + std::to_string(port) + "/"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, " 网页获取失败！错误代码：\r\n\r\n 网络异常\n");
}

TEST(CliProgram, AddressIsSentInGbk) {
  test::TestServer server;
  server.Serve(Gbk("/书.html"), "found");
  const ProgramRun run = RunProgram({"fetch", server.Url("/书.html")});
  EXPECT_EQ(run.out, "found\n");
  EXPECT_EQ(server.Requests().at(0).path, Gbk("/书.html"));
}

TEST(CliProgram, UsageErrorsExitWithTwo) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"nonsense"},
                                             {"fetch"},
                                             {"fetch", "http://a.b/", "extra"},
                                             {"--threads", "many", "fetch", "http://a.b/"},
                                             {"--bogus", "fetch", "http://a.b/"},
                                             {"contents"},
                                             {"preview", "a", "b"},
                                             {"get"}}) {
    const ProgramRun run = RunProgram(args);
    EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("tarnlow-cli: "), std::string::npos);
  }
  EXPECT_NE(RunProgram({"--threads", "many", "fetch", "x"}).err.find("--threads"),
            std::string::npos);

  const ProgramRun help = RunProgram({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: tarnlow-cli [--home DIR] COMMAND"));
  EXPECT_NE(help.out.find("下一页"), std::string::npos);
}

}  // namespace
}  // namespace tarnlow

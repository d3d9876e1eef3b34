// The contents command end to end against a local server, through the
// window model and a recording shell.

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/run_log.h"
#include "contents/contents_driver.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

using test::Gbk;

const std::string kFailMarker = Gbk(" 网页获取失败！错误代码：");

std::string ContentsPage(const std::string& links, const std::string& extra = "") {
  return Gbk("<html><head><meta property=\"og:novel:book_name\" content=\"示例书\"/>"
             "<meta property=\"og:novel:author\" content=\"某人\"/><title>示例书最新章节</title>"
             "</head><body><div class=\"nav\"><a href=\"/\">首页</a></div><div id=\"list\">") +
         links + "</div>" + extra + "</body></html>";
}

std::string Link(const std::string& href, const std::string& utf8Title) {
  return "<a href=\"" + href + "\">" + Gbk(utf8Title) + "</a>";
}

class ContentsDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app.state.retryCount = 0;
    app.state.delayMs = 1;
    model.SetBox(Box::ListEnd, "</div>");
    model.SetExecuteCaption(CaptionContents());
  }
  void SetAddress(const std::string& path) { model.SetBox(Box::Address, server.Url(path)); }
  std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    for (const auto& e : app.chapters.Entries()) titles.push_back(GbkToUtf8(e.title));
    return titles;
  }
  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (const auto& e : app.chapters.Entries())
      paths.push_back(e.url.substr(server.BaseUrl().size()));
    return paths;
  }
  bool StatusSeen(const std::string& utf8) {
    for (const auto& s : model.StatusHistory()) {
      if (s.text == Gbk(utf8)) return true;
    }
    return false;
  }

  test::TempDir dir;
  test::TestServer server;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app{model, shell, dir.Path()};
};

TEST_F(ContentsDriverTest, InputChecksInOrder) {
  model.SetBox(Box::Address, "http://www.book.com");
  EXPECT_FALSE(GetContents(app));
  model.SetBox(Box::Address, "http://www.book.com/");
  EXPECT_FALSE(GetContents(app));
  model.SetBox(Box::Address, "http://www.book.com/b/");
  model.SetBox(Box::ListBegin, "<div id=\"list\">");
  model.SetBox(Box::ListEnd, "");
  EXPECT_FALSE(GetContents(app));
  const auto messages = shell.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].text, Gbk("请输入网址，以 http 开头的网址！"));
  EXPECT_EQ(messages[1].text, Gbk("该地址为主域名，不能处理！"));
  EXPECT_EQ(messages[2].text, Gbk("请输入目录结束的标记"));
  for (const auto& m : messages) {
    EXPECT_EQ(m.title, Gbk("提示"));
    EXPECT_EQ(m.icon, MessageIcon::Information);
  }
  EXPECT_EQ(model.FocusedBox(), Box::ListEnd);
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(ContentsDriverTest, BuildsTheListFollowsPagesAndNamesTheBook) {
  server.Serve("/book/", ContentsPage(Link("1.html", "第一章 起") + Link("2.html", "第二章 承"),
                                      Link("list_2.html", "下一页")));
  server.Serve("/book/list_2.html",
               ContentsPage(Link("3.html", "第三章 转") + Link("/book/1.html", "第一章 起"),
                            "<a href=list_3.html>" + Gbk("下一页") + "</a>"));
  server.Serve("/book/list_3.html", ContentsPage(Link("4.html", "第四章 合")));
  SetAddress("/book/");
  model.SetOption(Option::NextPage, true);

  ASSERT_TRUE(GetContents(app));
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/book/2.html", "/book/3.html", "/book/1.html",
                                               "/book/4.html"}));
  EXPECT_EQ(GbkToUtf8(model.GetBox(Box::SaveName)), "示例书");
  EXPECT_EQ(model.ExecuteCaption(), Gbk("取章节保存"));
  EXPECT_EQ(model.ListItems().size(), 4u);
  EXPECT_EQ(model.Status(), ContentsPage(Link("1.html", "第一章 起") + Link("2.html", "第二章 承"),
                                         Link("list_2.html", "下一页")));
  EXPECT_TRUE(StatusSeen("\r\n 检测到下一页，正在读取，请稍后... （第 3 页）"));
  EXPECT_TRUE(shell.Messages().empty());
}

TEST_F(ContentsDriverTest, PagingStopsAtAPageAlreadyRead) {
  server.Serve("/book/", ContentsPage(Link("1.html", "第一章"), Link("list_2.html", "下一页")));
  server.Serve("/book/list_2.html",
               ContentsPage(Link("2.html", "第二章"), Link("list_2.html", "下一页")));
  SetAddress("/book/");
  model.SetOption(Option::NextPage, true);
  ASSERT_TRUE(GetContents(app));
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/book/1.html", "/book/2.html"}));
  EXPECT_EQ(server.RequestCount("/book/list_2.html"), 1);
}

TEST_F(ContentsDriverTest, MarksLimitTheLinksAndAKnownNameStays) {
  server.Serve("/book/", ContentsPage(Link("1.html", "第一章"), Link("9.html", "第九章")));
  SetAddress("/book/");
  model.SetBox(Box::SaveName, Gbk("我的名字"));
  model.SetBox(Box::ListBegin, "<DIV ID=\"list\">");
  ASSERT_TRUE(GetContents(app));
  EXPECT_EQ(Paths(), std::vector<std::string>{"/book/1.html"});
  EXPECT_EQ(GbkToUtf8(model.GetBox(Box::SaveName)), "我的名字");
}

TEST_F(ContentsDriverTest, MissingStartMarkMeansNoListAndNoRetry) {
  server.Serve("/book/", ContentsPage(Link("1.html", "第一章")));
  SetAddress("/book/");
  app.state.retryCount = 3;
  model.SetBox(Box::ListBegin, "<div id=\"nowhere\">");
  EXPECT_FALSE(GetContents(app));
  EXPECT_EQ(server.RequestCount("/book/"), 1);
  ASSERT_EQ(shell.Messages().size(), 1u);
  EXPECT_EQ(shell.Messages()[0].text, Gbk("没有找到目录列表，建议重试！！"));
}

TEST_F(ContentsDriverTest, RetriesThenReportsTheFailure) {
  server.Serve("/book/", "busy", "text/html", 503);
  SetAddress("/book/");
  app.state.retryCount = 2;
  EXPECT_FALSE(GetContents(app));
  EXPECT_EQ(server.RequestCount("/book/"), 3);
  EXPECT_FALSE(StatusSeen("\r\n 网页访问失败！ 第 0 次重试！"));
  EXPECT_TRUE(StatusSeen("\r\n 网页访问失败！ 第 1 次重试！"));
  EXPECT_TRUE(StatusSeen("\r\n 网页访问失败！ 第 2 次重试！"));
  ASSERT_EQ(shell.Messages().size(), 1u);
  EXPECT_EQ(shell.Messages()[0].text.rfind(kFailMarker + "\r\n\r\nHTTP/1.1 503", 0), 0u);
  EXPECT_EQ(model.Status(), IdleHelpText());
}

TEST_F(ContentsDriverTest, RetryZeroMakesOneAttempt) {
  server.Serve("/book/", "gone", "text/html", 404);
  SetAddress("/book/");
  EXPECT_FALSE(GetContents(app));
  EXPECT_EQ(server.RequestCount("/book/"), 1);
}

TEST_F(ContentsDriverTest, BatchModeLogsInsteadOfAsking) {
  app.state.batchMode = true;
  server.Serve("/dead/", "x", "text/html", 503);
  server.Serve("/empty/", ContentsPage(""));
  SetAddress("/dead/");
  EXPECT_FALSE(GetContents(app));
  SetAddress("/empty/");
  model.SetBox(Box::ListBegin, "<div id=\"list\">");
  model.SetBox(Box::ListEnd, "");
  EXPECT_FALSE(GetContents(app));
  EXPECT_TRUE(shell.Messages().empty());
  EXPECT_EQ(model.GetBox(Box::ListBegin), "");  // a start mark without end mark is dropped
  const std::string log = GbkToUtf8(app.log.Text());
  const auto first =
      log.find("】批处理： 找不到目录！ 链接：" + server.Url("/empty/") + "\r\n\r\n");
  const auto second = log.find("】批处理： 启用自动取目录！\r\n\r\n");
  const auto third =
      log.find("】批处理：目录访问失败！ 链接：" + server.Url("/dead/") + "\r\n\r\n");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  ASSERT_NE(third, std::string::npos);
  EXPECT_LT(first, second);  // newest first
  EXPECT_LT(second, third);
}

TEST_F(ContentsDriverTest, CancelBetweenAttempts) {
  server.Get("/book/", [this](const httplib::Request&, httplib::Response& res) {
    app.state.cancelRequested = true;  // pressed while the page downloads
    res.status = 503;
  });
  SetAddress("/book/");
  app.state.retryCount = 5;
  EXPECT_FALSE(GetContents(app));
  EXPECT_EQ(server.RequestCount("/book/"), 1);
  EXPECT_FALSE(app.state.cancelRequested);
  EXPECT_EQ(model.Status(), IdleHelpText());
  EXPECT_NE(GbkToUtf8(app.log.Text()).find("】已取消！ 链接：" + server.Url("/book/")),
            std::string::npos);
  EXPECT_TRUE(shell.Messages().empty());
}

TEST_F(ContentsDriverTest, CancelDuringPagingKeepsTheLinksSoFar) {
  server.Serve("/book/", ContentsPage(Link("1.html", "第一章"), Link("list_2.html", "下一页")));
  server.Get("/book/list_2.html", [this](const httplib::Request&, httplib::Response& res) {
    app.state.cancelRequested = true;
    res.set_content(ContentsPage(Link("2.html", "第二章")), "text/html");
  });
  SetAddress("/book/");
  model.SetOption(Option::NextPage, true);
  ASSERT_TRUE(GetContents(app));
  EXPECT_EQ(Paths(), std::vector<std::string>{"/book/1.html"});
}

TEST_F(ContentsDriverTest, FailingSecondPageIsLoggedAndTheListStays) {
  server.Serve("/book/", ContentsPage(Link("1.html", "第一章"), Link("list_2.html", "下一页")));
  server.Serve("/book/list_2.html", "x", "text/html", 500);
  SetAddress("/book/");
  model.SetOption(Option::NextPage, true);
  app.state.retryCount = 1;
  ASSERT_TRUE(GetContents(app));
  EXPECT_EQ(server.RequestCount("/book/list_2.html"), 2);
  EXPECT_TRUE(StatusSeen("\r\n第 2 页目录访问失败！ 第 1 次重试！"));
  const std::string log = GbkToUtf8(app.log.Text());
  EXPECT_NE(log.find("】分页第2页访问失败！ 链接：" + server.Url("/book/list_2.html") + "\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(Paths(), std::vector<std::string>{"/book/1.html"});
}

TEST_F(ContentsDriverTest, OptionsCleanAndRenumber) {
  server.Serve("/book/", ContentsPage(Link("1.html", "第一章 甲") + Link("2.html", "乙") +
                                      Link("/ad/x.html", "广告") + Link("3.html", "3、丙")));
  SetAddress("/book/");
  model.SetOption(Option::CleanDubious, true);
  model.SetOption(Option::Renumber, true);
  model.ListAdd("stale");
  ASSERT_TRUE(GetContents(app));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"第1章 甲", "第2章 乙", "第3章 丙"}));
  EXPECT_TRUE(app.state.dubiousCleaned);
  EXPECT_TRUE(app.state.numberingFormatted);
  // The list box shows exactly the list, renumbered.
  ASSERT_EQ(model.ListItems().size(), 3u);
  EXPECT_EQ(model.ListItems()[0], app.chapters[0].title);
  EXPECT_EQ(GbkToUtf8(model.ListItems()[2]), "第3章 丙");

  // With contents marks, dubious links stay when the user asked for it.
  app.chapters.Clear();
  model.SetOption(Option::Renumber, false);
  model.SetOption(Option::KeepDubiousWithMarks, true);
  model.SetBox(Box::ListBegin, "<div id=\"list\">");
  ASSERT_TRUE(GetContents(app));
  EXPECT_EQ(app.chapters.Size(), 4u);
}

TEST_F(ContentsDriverTest, DubiousKeywordComesFromTheSettings) {
  ASSERT_TRUE(app.settings.Write("Keyword", "Vol"));
  std::string links;
  for (int i = 0; i < 10; ++i) links += Link(std::to_string(i) + ".html", "y");
  links += Link("/other/1.html", "Vol 1") + Link("/other/2.html", "t");
  server.Serve("/book/", ContentsPage(links));
  SetAddress("/book/");
  model.SetOption(Option::CleanDubious, true);
  ASSERT_TRUE(GetContents(app));
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/other/1.html", "/other/2.html"}));
}

// A browser-check page whose only "href" is an assignment in its script has
// no contents; it must not list that script's words as a chapter.
TEST_F(ContentsDriverTest, BrowserCheckPageHasNoContents) {
  server.Serve("/book/",
               "<html><head><script>window.location.href = location.pathname + "
               "\"?challenge=1\";</script></head><body>" +
                   Gbk("正在检查您的浏览器") + "</body></html>");
  SetAddress("/book/");
  EXPECT_FALSE(GetContents(app));
  EXPECT_TRUE(app.chapters.Empty());
  ASSERT_EQ(shell.Messages().size(), 1u);
  EXPECT_EQ(shell.Messages()[0].text, Gbk("没有找到目录列表，建议重试！！"));
}

TEST_F(ContentsDriverTest, ClosingTheWindowEndsTheCommand) {
  server.Serve("/book/", ContentsPage(Link("1.html", "第一章")));
  SetAddress("/book/");
  app.log.exitRequested = true;
  EXPECT_FALSE(GetContents(app));
  EXPECT_TRUE(shell.EndProcessCalled());
  EXPECT_EQ(server.RequestCount("/book/"), 0);
}

}  // namespace
}  // namespace tarnlow

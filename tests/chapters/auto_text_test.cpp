// Chapter bodies found without text marks on pages the built-in search gets
// wrong, and the same pages with the finder switched off.

#include "chapters/auto_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "chapters/extraction.h"
#include "tests/support/support.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

using test::Gbk;

std::string U(const std::string& gbk) { return GbkToUtf8(gbk); }

// A page as FetchPage gives it: navigation before the body, a foot after it.
std::string Page(const std::string& body) {
  return Gbk("<html><head><title>第一章</title><script>var a = \"<p>x</p>\";</script></head>"
             "<body><div class=\"nav\"><a href=\"/\">首页</a> <a href=\"/list\">排行</a></div>") +
         Gbk(body) +
         Gbk("<div class=\"foot\"><a href=\"/1.html\">上一章</a><a href=\"/\">目录</a>"
             "<a href=\"/3.html\">下一章</a></div></body></html>");
}

std::string Line(int i) { return "第" + std::to_string(i) + "句，雨还在下，街上没有一个人。"; }

std::string Lines(const std::string& before, const std::string& after, int count) {
  std::string lines;
  for (int i = 1; i <= count; ++i) lines += before + Line(i) + after;
  return lines;
}

// What finishing leaves of lines: blanks at the very start trimmed, one line
// break added at the end.
std::string Finished(const std::string& lines) {
  std::size_t start = 0;
  while (lines.compare(start, 1, " ") == 0 || lines.compare(start, 3, "　") == 0)
    start += lines[start] == ' ' ? 1 : 3;
  return lines.substr(start) + "\r\n";
}

struct Case {
  const char* name;
  std::string page;
  std::string today;  // AutoText=0: exactly what the built-in search gives
  std::string found;  // AutoText=1
};

TEST(AutoText, FindsTheBodyWhereTheBuiltInSearchFailsAndChangesNothingWithItOff) {
  const Case cases[] = {
      {"toolbar paragraph before the body, its link row cutting the paragraphs",
       Page("<div id=\"box\"><p><b>退出阅读模式，即可阅读全部内容</b></p>"
            "<span><a href=\"/set\">设置</a></span><div id=\"article\">" +
            Lines("<p> ", " </p>", 6) + "</div></div>"),
       "退出阅读模式，即可阅读全部内容\r\n\r\n",
       Finished(Lines(" ", " \r\n\r\n", 5) + " " + Line(6) + " \r\n")},
      {"unclosed paragraphs",
       Page("<div class=\"read-content\">" + Lines("<p>　　", "", 6) + "</div>"), "",
       Finished(Lines("　　", "\r\n", 6))},
      {"self-closing paragraphs",
       Page("<div style=\"font-size: 20px\">" + Lines(" ", "<p/>", 3) + Lines(" ", "<p />", 3) +
            "</div>"),
       "", Finished(Lines(" ", "\r\n", 3) + Lines(" ", "\r\n", 3))},
      {"an advertisement block inside the body",
       Page("<div id=\"content\">" + Lines("", "<br /><br />", 3) +
            "<div class=\"ad\"><script>loadAdv(7, 3);</script><a href=\"/ad\">点击领取红包</a>"
            "</div>" +
            Lines("", "<br /><br />", 3) + "</div>"),
       Lines("", "\r\n\r\n", 3) + "loadAdv(7, 3);\r\n",
       Finished(Lines("", "\r\n\r\n", 3) + Lines("", "\r\n\r\n", 2) + Line(3) + "\r\n")},
      {"a page that is only navigation",
       Page("<div class=\"menu\"><a href=\"/a\">玄幻小说</a> | <a href=\"/b\">都市小说</a> | "
            "<a href=\"/c\">历史小说</a> | <a href=\"/d\">完本小说</a></div>"
            "<div class=\"copy\">本站所有小说均来自网友上传。</div>"),
       "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(U(ExtractChapterText(c.page, "", "", {0, nullptr, false})), c.today);
    EXPECT_EQ(U(ExtractChapterText(c.page, "", "", {0, nullptr, true})), c.found);
  }
}

TEST(AutoText, APlausibleBuiltInResultStays) {
  // Lines of a table cell found by the break run: the finder agrees and the
  // built-in result, with its own spacing, is kept.
  const std::string page =
      Page("<table><tr><td class=\"crumb\"><a href=\"/b\">书名</a></td></tr><tr><td>" +
           Lines("　　", "<br>", 8) + "</td></tr></table>");
  const std::string today = ExtractChapterText(page, "", "", {0, nullptr, false});
  EXPECT_EQ(U(today), Finished(Lines("　　", "\r\n", 8)));
  EXPECT_EQ(ExtractChapterText(page, "", "", {0, nullptr, true}), today);
  // The finder on its own takes the same cell.
  EXPECT_EQ(U(FindChapterBody(page).fragment), Lines("　　", "<br />", 8));
}

TEST(AutoText, TheBodyEndsAtTheNavigationAfterIt) {
  const std::string page =
      Page("<div id=\"c\">" + Lines("", "<br/>", 12) +
           "<a href=\"/1.html\">上一章</a> | <a href=\"/\">返回目录</a> | 加入书签 | "
           "<a href=\"/3.html\">下一章</a></div>");
  const FoundBody body = FindChapterBody(page);
  EXPECT_EQ(U(body.fragment), Lines("", "<br />", 12));
  EXPECT_EQ(body.textBytes, static_cast<int>(Gbk(Lines("", "", 12)).size()));
}

TEST(AutoText, FoundBodiesTakeEveryLineMode) {
  const std::string page = Page("<div class=\"read-content\"><p>甲说。乙笑。<p>丙走了。<p>" +
                                Lines("", "", 4) + "</div>");
  EXPECT_EQ(U(ExtractChapterText(page, "", "", {0, nullptr, true})),
            "甲说。乙笑。\r\n丙走了。\r\n" + Lines("", "", 4) + "\r\n\r\n");
  EXPECT_EQ(U(ExtractChapterText(page, "", "", {1, nullptr, true})),
            "甲说。乙笑。丙走了。" + Lines("", "", 4) + "\r\n");
  EXPECT_EQ(U(ExtractChapterText(page, "", "", {2, nullptr, true})),
            "甲说。\r\n乙笑。\r\n丙走了。\r\n" + Lines("", "\r\n", 4) + "\r\n");
}

// Hostile markup: blocks nested without end, and end tags nothing opened. The
// finder must stay linear in the page.
TEST(AutoText, DeepAndUnbalancedMarkupTakesLinearTime) {
  std::string page;
  for (int i = 0; i < 300000; ++i) page += "<div>";
  for (int i = 0; i < 300000; ++i) page += "</td>";
  page += Gbk(Lines("", "<br />", 8));
  const auto start = std::chrono::steady_clock::now();
  const FoundBody body = FindChapterBody(page);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(U(body.fragment), Lines("", "<br />", 8));
}

TEST(ExtractChapter, TellsWhenTheTypedMarksAreNotOnThePage) {
  const std::string page = Page("<div id=\"content\">正文<br />尾</div><div id=\"empty\"></div>");
  const auto extract = [&](const char* begin, const char* end) {
    return ExtractChapter(page, begin, end, {0, nullptr, true});
  };
  EXPECT_EQ(U(extract("<div id=\"content\">", "</div>").text), "正文\r\n尾\r\n");
  EXPECT_FALSE(extract("<DIV ID=\"content\">", "</div>").marksMissing);
  EXPECT_TRUE(extract("<div id=\"text\">", "</div>").marksMissing);
  EXPECT_TRUE(extract("<div id=\"content\">", "</section>").marksMissing);
  const ExtractedText empty = extract("<div id=\"empty\">", "</div>");
  EXPECT_EQ(empty.text, "");
  EXPECT_FALSE(empty.marksMissing);
  EXPECT_FALSE(ExtractChapter(page, "", "", {0, nullptr, true}).marksMissing);
}

}  // namespace
}  // namespace tarnlow

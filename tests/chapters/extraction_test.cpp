// Cutting the chapter text out of pages written for the tests.

#include <gtest/gtest.h>

#include "chapters/extraction.h"
#include "tests/support/support.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

using test::Gbk;

std::string U(const std::string& gbk) { return GbkToUtf8(gbk); }

const TextOptions kLines{0, nullptr};

std::string Page(const std::string& body) {
  return Gbk("<html><head><title>第一章</title></head><body><div class=\"nav\">"
             "<a href=\"/\">首页</a></div>") +
         body + Gbk("<div class=\"foot\"><a href=\"/next.html\">下一章</a></div></body></html>");
}

TEST(ExtractBetweenMarks, MarksIgnoreLetterCase) {
  const std::string page =
      Page(Gbk("<DIV ID=\"content\">　　第一行<br/>第二行<BR>第三行<p>第四行</p></div>"));
  EXPECT_EQ(U(ExtractBetweenMarks(page, "<div id=\"content\">", "</div>", kLines)),
            "第一行\r\n第二行\r\n第三行\r\n第四行\r\n\r\n");
  EXPECT_EQ(ExtractBetweenMarks(page, "<div id=\"nowhere\">", "</div>", kLines), "");
}

TEST(ExtractBetweenMarks, EmptyEndMarkTakesTheRestUpToTheFirstLink) {
  const std::string page = Page(Gbk("<div id=\"content\">正文<br />尾</div>"));
  // The rest of the page runs into the foot; its link and all after it go.
  EXPECT_EQ(U(ExtractBetweenMarks(page, "<div id=\"content\">", "", kLines)), "正文\r\n尾\r\n");
}

TEST(ExtractByBreakRun, FindsTheContainerOfFourBreaks) {
  const std::string page =
      Page(Gbk("<div id=\"content\">&nbsp;&nbsp;一<br />二<br />三<br />四<br />五</div>"));
  EXPECT_EQ(U(ExtractByBreakRun(page, kLines)), "一\r\n二\r\n三\r\n四\r\n五\r\n");
}

TEST(ExtractByBreakRun, OtherBreakSpellingsCount) {
  const std::string page = Page(Gbk("<div>一<br>二<BR/>三<br>四<Br>五</div>"));
  EXPECT_EQ(U(ExtractByBreakRun(page, kLines)), "一\r\n二\r\n三\r\n四\r\n五\r\n");
}

TEST(ExtractByBreakRun, InterruptedRunsAreNotARun) {
  const std::string page =
      Page(Gbk("<div>一<br /><span>x</span>二<br /><i>y</i>三<br /><b>z</b>四<br /></div>"));
  EXPECT_EQ(ExtractByBreakRun(page, kLines), "");
}

TEST(ExtractByBreakRun, SearchStartsAtTheEndOfTheHead) {
  const std::string page =
      Gbk("<html><br /><br /><br /><br /><head><title>t</title></head><body>"
          "<div id=\"c\">甲<br />乙<br />丙<br />丁<br />戊</div></body></html>");
  EXPECT_EQ(U(ExtractByBreakRun(page, kLines)), "甲\r\n乙\r\n丙\r\n丁\r\n戊\r\n");
}

TEST(ExtractByBreakRun, ParagraphTailIsDropped) {
  const std::string page = Page(Gbk("<div>一<br />二<br />三<br />四<br />五<p>荐</p></div>"));
  EXPECT_EQ(U(ExtractByBreakRun(page, kLines)), "一\r\n二\r\n三\r\n四\r\n五\r\n");
}

TEST(ExtractByParagraphs, SkipsBlocksWithTooFewParagraphs) {
  std::string first = "<div>";
  for (int i = 1; i <= 4; ++i) first += Gbk("<p>短") + std::to_string(i) + "</p>";
  std::string second = "</div><div>";
  for (int i = 1; i <= 8; ++i) second += Gbk("<p>长") + std::to_string(i) + "</p>";
  const std::string page = Page(first + second + "</div>");
  const std::string text = U(ExtractByParagraphs(page, kLines));
  EXPECT_EQ(text.rfind("长1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("长8\r\n"), std::string::npos);
  EXPECT_EQ(text.find("短"), std::string::npos);
}

TEST(ExtractChapterText, FallsBackToParagraphs) {
  std::string body = "<div class=\"txt\">";
  for (int i = 1; i <= 6; ++i) body += Gbk("<p>段") + std::to_string(i) + "</p>";
  const std::string page = Page(body + "</div>");
  EXPECT_EQ(U(ExtractChapterText(page, "", "", kLines)).rfind("段1\r\n", 0), 0u);
  // With a start mark there is no fallback.
  EXPECT_EQ(ExtractChapterText(page, "<div id=\"x\">", "</div>", kLines), "");
}

TEST(FinishChapterText, LineModes) {
  const std::string fragment = Gbk("　一句。二句。<br />三");
  EXPECT_EQ(U(FinishChapterText(fragment, {0, nullptr})), "一句。二句。\r\n三\r\n");
  EXPECT_EQ(U(FinishChapterText(fragment, {1, nullptr})), "一句。二句。三\r\n");
  EXPECT_EQ(U(FinishChapterText(Gbk("一句。二句。"), {2, nullptr})), "一句。\r\n二句。\r\n\r\n");
  EXPECT_EQ(U(FinishChapterText(fragment, {7, nullptr})), "一句。二句。\r\n三\r\n");
  // Mode 1 removes line breaks that are already there too.
  EXPECT_EQ(U(FinishChapterText(Gbk("甲\r\n乙"), {1, nullptr})), "甲乙\r\n");
}

TEST(FinishChapterText, EverythingFromTheFirstLinkGoes) {
  EXPECT_EQ(U(FinishChapterText(Gbk("正文<br /><a href=\"/n.html\">下一章</a>尾"), kLines)),
            "正文\r\n\r\n");
  // Only spaces at the very ends are trimmed; the line break protects this one.
  EXPECT_EQ(U(FinishChapterText(Gbk("正文 <span>HREF in text</span>"), kLines)), "正文 \r\n");
}

TEST(FinishChapterText, CleanRulesSeeTheMarkup) {
  const CleanRuleSet rules({Gbk("<b>本站.*?</b>"), "\r\n\r\n", Gbk("广告")});
  const std::string fragment = Gbk("甲<b>本站域名</b>乙<br /><br />丙广告");
  EXPECT_EQ(U(FinishChapterText(fragment, {0, &rules})), "甲乙丙\r\n");
}

}  // namespace
}  // namespace tarnlow

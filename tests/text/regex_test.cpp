#include "text/regex.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace {

using tarnlow::Regex;
using tarnlow::RegexMatch;

std::string Gbk(const char* utf8) { return tarnlow::Utf8ToAnsi(utf8); }

int StartOf(const RegexMatch& m) { return m.MatchStart(); }

TEST(Regex, SearchWithoutStartBeginsAtEachTextsBeginning) {
  Regex re;
  ASSERT_TRUE(re.Compile("c"));
  EXPECT_EQ(StartOf(re.Search("abcabc")), 2);
  EXPECT_EQ(StartOf(re.Search("abcabc")), 2);
  EXPECT_EQ(StartOf(re.Search("cab")), 0);
  EXPECT_EQ(StartOf(re.Search("xyz")), -1);
  EXPECT_FALSE(re.Search("xyz").Matched());
  EXPECT_EQ(StartOf(re.Search("abcabc")), 2);
}

TEST(Regex, NegativeStartContinuesAfterThePreviousMatch) {
  Regex re;
  ASSERT_TRUE(re.Compile("c"));
  EXPECT_EQ(StartOf(re.Search("abcabc", -1)), 2);  // a fresh Compile starts at 0
  EXPECT_EQ(StartOf(re.Search("abcabc", -1)), 5);
  EXPECT_EQ(StartOf(re.Search("abcabc", -1)), -1);
  // After a failed search a negative start finds nothing, even in a text
  // that would match, until the next Compile.
  EXPECT_EQ(StartOf(re.Search("ccc", -1)), -1);
  EXPECT_EQ(StartOf(re.Search("ccc", -7)), -1);
  ASSERT_TRUE(re.Compile("c"));
  EXPECT_EQ(StartOf(re.Search("ccc", -1)), 0);
  EXPECT_EQ(StartOf(re.Search("ccc", -1)), 1);
}

TEST(Regex, StartAtOrAfterZeroIsAByteIndex) {
  Regex re;
  ASSERT_TRUE(re.Compile("c"));
  EXPECT_EQ(StartOf(re.Search("abcabc", 0)), 2);
  EXPECT_EQ(StartOf(re.Search("abcabc", 3)), 5);
  EXPECT_EQ(StartOf(re.Search("abcabc", 6)), -1);
  EXPECT_EQ(StartOf(re.Search("abcabc", 60)), -1);
  ASSERT_TRUE(re.Compile("a"));
  EXPECT_EQ(StartOf(re.Search(Gbk("啊a啊a"), 3)), 5);
}

TEST(Regex, MatchStartIsAByteIndexInTheGbkText) {
  Regex re;
  ASSERT_TRUE(re.Compile(Gbk("第.章")));
  const RegexMatch m = re.Search(Gbk("前言：第一章"));
  EXPECT_EQ(m.MatchStart(), 6);
  EXPECT_EQ(m.MatchLength(), 6);

  ASSERT_TRUE(re.Compile(Gbk("章")));
  EXPECT_EQ(StartOf(re.Search(Gbk("一章二章"))), 2);
  EXPECT_EQ(StartOf(re.Search(Gbk("一章二章"), -1)), 6);
  ASSERT_TRUE(re.Compile("b"));
  EXPECT_EQ(StartOf(re.Search("a\xFF"
                              "b")),
            2);  // an undecodable byte counts as one
}

TEST(Regex, EmptyMatchesStillMoveOn) {
  Regex re;
  ASSERT_TRUE(re.Compile("x*"));
  EXPECT_EQ(StartOf(re.Search("ab", -1)), 0);
  EXPECT_EQ(StartOf(re.Search("ab", -1)), 1);
  EXPECT_EQ(StartOf(re.Search("ab", -1)), 2);
  EXPECT_EQ(StartOf(re.Search("ab", -1)), -1);
  EXPECT_EQ(re.Replace("ab", "-"), "-a-b-");
  EXPECT_EQ(re.Replace("axxb", "-"), "-a--b-");
}

TEST(Regex, DefaultFlagsCaseDotAndAnchors) {
  Regex re;
  ASSERT_TRUE(re.Compile("abc"));
  EXPECT_FALSE(re.Search("ABC").Matched());
  ASSERT_TRUE(re.Compile("abc", Regex::kIgnoreCase));
  EXPECT_TRUE(re.Search("ABC").Matched());

  ASSERT_TRUE(re.Compile("a.b"));
  EXPECT_FALSE(re.Search("a\nb").Matched());
  EXPECT_TRUE(re.Search("a\rb").Matched());
  EXPECT_TRUE(re.Search(Gbk("a中b")).Matched());  // one character, two bytes

  ASSERT_TRUE(re.Compile("^b"));
  EXPECT_FALSE(re.Search("a\nb").Matched());
  ASSERT_TRUE(re.Compile("a$"));
  EXPECT_FALSE(re.Search("a\nb").Matched());
  EXPECT_FALSE(re.Search("a\n").Matched());
  EXPECT_EQ(StartOf(re.Search("ba")), 1);
  ASSERT_TRUE(re.Compile("^b", Regex::kMultiline));
  EXPECT_EQ(StartOf(re.Search("a\nb")), 2);
}

TEST(Regex, EscapeWordsAreReplacedOnlyWhenAsked) {
  Regex re;
  ASSERT_TRUE(re.Compile(Gbk("a#换行符b"), 0, true));
  EXPECT_EQ(StartOf(re.Search("xa\r\nb")), 1);
  ASSERT_TRUE(re.Compile(Gbk("#引号x#引号"), 0, true));
  EXPECT_EQ(StartOf(re.Search("say \"x\"")), 4);
  ASSERT_TRUE(re.Compile(Gbk("#左引号.*?#右引号"), 0, true));
  EXPECT_EQ(re.Replace(Gbk("他说“你好”然后“再见”。"), ""), Gbk("他说然后。"));

  ASSERT_TRUE(re.Compile(Gbk("#引号"), 0, false));
  EXPECT_FALSE(re.Search("\"").Matched());
  EXPECT_EQ(StartOf(re.Search(Gbk("写#引号"))), 2);
}

TEST(Regex, ReplaceRemovesShortestSpansOfALazyRule) {
  Regex re;
  ASSERT_TRUE(re.Compile(Gbk("本站.*?首发")));
  EXPECT_EQ(re.Replace(Gbk("正文本站网址首发内容本站首发完首发"), ""), Gbk("正文内容完首发"));
  ASSERT_TRUE(re.Compile("ad"));
  EXPECT_EQ(re.Replace("AD ad", ""), "AD ");
  ASSERT_TRUE(re.Compile(Gbk(" 广告")));
  EXPECT_EQ(re.Replace(Gbk("广告 广告"), ""), Gbk("广告"));
}

TEST(Regex, ReplaceStartCountAndLiteralReplacement) {
  Regex re;
  ASSERT_TRUE(re.Compile("a"));
  EXPECT_EQ(re.Replace("aaaa", "b", -1, 2), "bbaa");
  EXPECT_EQ(re.Replace("aaaa", "b", 2), "aabb");
  EXPECT_EQ(re.Replace("aaaa", "b", -1, 0), "aaaa");
  EXPECT_EQ(re.Replace(Gbk("啊a啊a"), "b", 3), Gbk("啊a啊b"));
  EXPECT_EQ(re.Replace("xyz", "b"), "xyz");
  ASSERT_TRUE(re.Compile("(a)"));
  EXPECT_EQ(re.Replace("cab", "$1$1"), "c$1$1b");
  // Bytes outside the matches come back as they were.
  ASSERT_TRUE(re.Compile("y"));
  EXPECT_EQ(re.Replace("x\xFFy", "z"), "x\xFFz");
  EXPECT_EQ(re.Replace(Gbk("中") + "\xA2\xAB"
                                   "y",
                       ""),
            Gbk("中") + "\xA2\xAB");
}

TEST(Regex, ReplaceLeavesTheSearchPositionAlone) {
  Regex re;
  ASSERT_TRUE(re.Compile("c"));
  EXPECT_EQ(StartOf(re.Search("abcabc")), 2);
  EXPECT_EQ(re.Replace("ccc", ""), "");
  EXPECT_EQ(StartOf(re.Search("abcabc", -1)), 5);
}

TEST(Regex, PatternThatDoesNotCompileFindsNothing) {
  Regex re;
  EXPECT_FALSE(re.Compile("(unclosed"));
  EXPECT_FALSE(re.Search("(unclosed").Matched());
  EXPECT_FALSE(re.Search("(unclosed", -1).Matched());
  EXPECT_EQ(re.Replace("(unclosed", "x"), "");
  EXPECT_FALSE(re.TimedOut());
  // A good Compile afterwards works again.
  EXPECT_TRUE(re.Compile("u"));
  EXPECT_EQ(StartOf(re.Search("(unclosed")), 1);
  Regex never;
  EXPECT_FALSE(never.Search("text").Matched());
  EXPECT_EQ(never.Replace("text", ""), "");
}

class RegexTimeLimit : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = Regex::TimeLimitMs();
    Regex::SetTimeLimitMs(200);
  }
  void TearDown() override { Regex::SetTimeLimitMs(m_saved); }

  int m_saved = 0;
};

TEST_F(RegexTimeLimit, CatastrophicPatternGivesUpInTime) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "ab";
  Regex re;
  ASSERT_TRUE(re.Compile("(a|b)*\\d"));
  auto began = std::chrono::steady_clock::now();
  EXPECT_FALSE(re.Search(text).Matched());
  EXPECT_TRUE(re.TimedOut());
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
  // A search that gave up counts as a failed one.
  EXPECT_FALSE(re.Search(text, -1).Matched());

  began = std::chrono::steady_clock::now();
  EXPECT_EQ(re.Replace(text, ""), text);
  EXPECT_TRUE(re.TimedOut());
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));

  EXPECT_TRUE(re.Search("ab1").Matched());
  EXPECT_FALSE(re.TimedOut());
}

TEST_F(RegexTimeLimit, QuadraticScanGivesUpInTime) {
  // Each start position scans to the end of the text: no backtracking
  // explosion, only a long run of cheap steps.
  const std::string text(300000, 'a');
  Regex re;
  ASSERT_TRUE(re.Compile("[^x]*y"));
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(re.Replace(text, ""), text);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
}

TEST(Regex, OrdinaryRulesOnALargeChapterFinishInTime) {
  std::string chapter;
  while (chapter.size() < (1u << 20)) {
    chapter += Gbk("他说道：“这是正文。”本站网址首发。<br /><br />");
  }
  Regex re;
  ASSERT_TRUE(re.Compile(Gbk("本站.*?首发。")));
  const std::string cleaned = re.Replace(chapter, "");
  EXPECT_FALSE(re.TimedOut());
  EXPECT_EQ(cleaned.find(Gbk("首发")), std::string::npos);
  EXPECT_NE(cleaned.find(Gbk("这是正文")), std::string::npos);
}

// A search runs over a stretch of start positions at a time, and an attempt
// that needs more work than that allows is redone in a slower form: neither
// may change what is found.
TEST(Regex, LongTextsAndHeavyAttemptsFindWhatShortOnesDo) {
  Regex re;
  ASSERT_TRUE(re.Compile("y"));
  EXPECT_EQ(StartOf(re.Search(std::string(300000, 'x') + "y")), 300000);

  const std::string as(50000, 'a');
  std::string everywhere = "-";
  for (const char c : as) everywhere += std::string(1, c) + "-";
  ASSERT_TRUE(re.Compile("x*"));
  EXPECT_EQ(re.Replace(as, "-"), everywhere);

  // The first branch backtracks through a million ways of reading the "ab"s
  // before it fails; the second then matches.
  std::string ab;
  for (int i = 0; i < 20; ++i) ab += "ab";
  ASSERT_TRUE(re.Compile("(?:a|b|ab)*z|(?:a|b)*c"));
  EXPECT_EQ(re.Replace("x" + ab + "c", "-"), "x-");
  EXPECT_FALSE(re.TimedOut());
  EXPECT_EQ(StartOf(re.Search("x" + ab + "c")), 1);
}

TEST(Regex, ObjectsOnSeveralThreadsWorkIndependently) {
  const std::string text = Gbk("第一章 本站首发 正文 本站首发 完");
  const std::string expected = Gbk("第一章  正文  完");
  std::vector<int> failures(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        Regex re;
        if (!re.Compile(Gbk("本站首发")) || re.Replace(text, "") != expected) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, (std::vector<int>{0, 0, 0, 0}));
}

}  // namespace

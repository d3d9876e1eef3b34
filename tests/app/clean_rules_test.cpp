#include "chapters/clean_rules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/support.h"
#include "text/codepage.h"
#include "text/regex.h"

namespace tarnlow {
namespace {

using test::Gbk;
using test::TempDir;

CleanRules::List Load(const TempDir& dir) {
  CleanRules rules;
  LoadCleanRules(rules, dir.Path());
  return *rules.Snapshot();
}

TEST(CleanRulesFile, CommentsAndEmptyLinesAreSkipped) {
  TempDir dir;
  dir.Write("cleantxt.list", Gbk("本站网址\r\n// 注释\r\n//注释\r\n\r\n"));
  EXPECT_EQ(Load(dir), CleanRules::List{Gbk("本站网址")});
}

TEST(CleanRulesFile, RulesKeepOrderSpacesAndStopAtZeroByte) {
  TempDir dir;
  dir.Write("cleantxt.list", std::string(" a \r\n/x/\r\nb\0c\r\nd", 16));
  EXPECT_EQ(Load(dir), (CleanRules::List{" a ", "/x/", "b"}));
}

TEST(CleanRulesFile, LineFeedOnlyFileIsOneRule) {
  TempDir dir;
  dir.Write("cleantxt.list", "abc\ndef\n");
  const CleanRules::List rules = Load(dir);
  EXPECT_EQ(rules, CleanRules::List{"abc\ndef\n"});
  EXPECT_EQ(ApplyCleanRules(rules, "xabc\ndef\ny abc"), "xy abc");
}

TEST(CleanRulesFile, MissingFileReplacesTheListWithNoRules) {
  TempDir dir;
  CleanRules rules;
  rules.Replace({"old"});
  LoadCleanRules(rules, dir.Path());
  EXPECT_TRUE(rules.Snapshot()->empty());
  const std::string chapter = Gbk("第一章 正文<br />");
  EXPECT_EQ(ApplyCleanRules(*rules.Snapshot(), chapter), chapter);
}

TEST(CleanRulesFile, SnapshotSurvivesAReplace) {
  CleanRules rules;
  rules.Replace({"one"});
  auto before = rules.Snapshot();
  rules.Replace({"two", "three"});
  EXPECT_EQ(*before, CleanRules::List{"one"});
  EXPECT_EQ(*rules.Snapshot(), (CleanRules::List{"two", "three"}));
}

TEST(ApplyCleanRules, LazyWildcardRemovesEachShortestSpan) {
  const CleanRules::List rules{Gbk("本.*?章")};
  EXPECT_EQ(ApplyCleanRules(rules, Gbk("甲本乙章丙本丁章戊章")), Gbk("甲丙戊章"));
}

TEST(ApplyCleanRules, LettersMatchOnlyInTheSameCase) {
  EXPECT_EQ(ApplyCleanRules({"abc"}, "ABC abc Abc"), "ABC  Abc");
}

TEST(ApplyCleanRules, LeadingSpaceIsPartOfTheRule) {
  EXPECT_EQ(ApplyCleanRules({" www"}, "www x www"), "www x");
}

TEST(ApplyCleanRules, EachRuleSeesTheOutputOfTheOnesBefore) {
  EXPECT_EQ(ApplyCleanRules({"ab", "xy"}, "xaby"), "");
  EXPECT_EQ(ApplyCleanRules({"xy", "ab"}, "xaby"), "xy");
}

TEST(ApplyCleanRules, BrokenRuleIsSkipped) {
  EXPECT_EQ(ApplyCleanRules({"(", "[z-a]", "b"}, "abc"), "ac");
  SkippedRules skipped;
  EXPECT_EQ(ApplyCleanRules(CleanRuleSet({"(", "b", "[z-a]"}), "abc", &skipped), "ac");
  EXPECT_EQ(ApplyCleanRules(CleanRuleSet({"(", "b", "[z-a]"}), "bcd", &skipped), "cd");
  EXPECT_EQ(skipped.Rules(), (std::vector<std::size_t>{0, 2}));
}

// The chapter is converted for matching once for all the rules: that must
// give what each rule, applied to the text the one before it left, gives.
TEST(ApplyCleanRules, TogetherTheRulesGiveWhatEachGivesInTurn) {
  struct Case {
    CleanRules::List rules;
    std::string text;
  };
  const Case cases[] = {
      {{Gbk("本站.*?首发"), "\r\n\r\n", Gbk("(?<=。)广告"), "^x", "y$", "z*"},
       Gbk("x第一章本站网址首发\r\n\r\n正文。广告内容。本站又首发y")},
      // Deleting "#" puts a lone lead byte before "A": the two now read as
      // one character, which the next rule finds.
      {{"#", Gbk("丄")}, "\x81#A"},
      // "\x81b" is one (unassigned) character: deleting the "b" before it
      // must not split it.
      {{"b", "a", Gbk("中")}, std::string("\xFF") + "ab" + "\x81" + "b" + Gbk("中文")},
      {{".", "x"}, Gbk("中文")},
  };
  for (const Case& c : cases) {
    std::string expected = c.text;
    for (const std::string& rule : c.rules) {
      Regex regex;
      ASSERT_TRUE(regex.Compile(rule));
      expected = regex.Replace(expected, "");
    }
    EXPECT_EQ(ApplyCleanRules(c.rules, c.text), expected) << GbkToUtf8(c.text);
  }
  EXPECT_EQ(ApplyCleanRules({"#", Gbk("丄")}, "\x81#A"), "");
}

TEST(ApplyCleanRules, RuleThatRunsOutOfTimeIsSkipped) {
  const int oldLimit = Regex::TimeLimitMs();
  Regex::SetTimeLimitMs(200);
  // Completed, the first rule would remove the leading "1"; every other start
  // position backtracks over the whole remaining text.
  std::string text = "1";
  for (int i = 0; i < 100000; ++i) text += "ab";
  text += "Z";
  Regex probe;
  ASSERT_TRUE(probe.Compile("(a|b)*\\d"));
  probe.Replace(text, "");
  ASSERT_TRUE(probe.TimedOut()) << "the rule must really run out of time here";

  const auto start = std::chrono::steady_clock::now();
  SkippedRules skipped;
  const std::string result = ApplyCleanRules(CleanRuleSet({"(a|b)*\\d", "Z"}), text, &skipped);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  Regex::SetTimeLimitMs(oldLimit);
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(result, text.substr(0, text.size() - 1));
  EXPECT_EQ(skipped.Rules(), std::vector<std::size_t>{0});
}

}  // namespace
}  // namespace tarnlow

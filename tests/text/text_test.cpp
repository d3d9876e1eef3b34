#include "text/text.h"

#include <climits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace {

using tarnlow::Find;
using tarnlow::FindLast;
using tarnlow::Split;
using tarnlow::TextBetween;
using Pieces = std::vector<std::string>;

std::string Gbk(const char* utf8) { return tarnlow::Utf8ToAnsi(utf8); }

// GBK bytes of the characters used below, for reading the cases:
// 啊 B0 A1, “ A1 B0, 　 A1 A1, 丄 81 41 ("A" as trail byte),
// 乤 81 61 ("a" as trail byte), 亅 81 7C ("|" as trail byte).

TEST(Find, PositionsAreOneBasedAndStartCounts) {
  EXPECT_EQ(Find("abcabc", "c"), 3);
  EXPECT_EQ(Find("abcabc", "c", 4), 6);
  EXPECT_EQ(Find("abcabc", "c", 6), 6);
  EXPECT_EQ(Find("abcabc", "c", 7), -1);
  EXPECT_EQ(Find("abcabc", "c", -5), 3);
  EXPECT_EQ(Find("abcabc", "x"), -1);
  EXPECT_EQ(Find("abcabc", "abcabcx"), -1);
  EXPECT_EQ(Find("", "a"), -1);
}

TEST(Find, EmptySoughtGivesOneWhileAnythingIsLeft) {
  EXPECT_EQ(Find("abc", ""), 1);
  EXPECT_EQ(Find("abc", "", 3), 1);
  EXPECT_EQ(Find("abc", "", 4), -1);
  EXPECT_EQ(Find("", ""), -1);
}

TEST(Find, NeverMatchesFromATrailByte) {
  // “ (A1 B0) lies across the two characters of 啊啊 (B0 A1 B0 A1).
  EXPECT_EQ(Find(Gbk("啊啊"), Gbk("“")), -1);
  EXPECT_EQ(Find(Gbk("啊“"), Gbk("“")), 3);
  EXPECT_EQ(Find(Gbk("丄A"), "A"), 3);
  EXPECT_EQ(Find(Gbk("乤乤乤"), "a"), -1);
  // A long run of double-byte characters before the hit.
  std::string text;
  for (int i = 0; i < 1000; ++i) text += Gbk("啊");
  EXPECT_EQ(Find(text + Gbk("“"), Gbk("“")), 2001);
  EXPECT_EQ(Find(text + "x", Gbk("“")), -1);
}

TEST(Find, IgnoreCaseFoldsOnlyAsciiLetters) {
  EXPECT_EQ(Find("Hello World", "WORLD"), -1);
  EXPECT_EQ(Find("Hello World", "WORLD", 0, true), 7);
  EXPECT_EQ(Find("<TITLE>", "<title>", 0, true), 1);
  EXPECT_EQ(Find(Gbk("乤乤A"), "a", 0, true), 5);
  EXPECT_EQ(Find(Gbk("丄a"), "A", 0, true), 3);
  // The trail bytes "a" and "A" differ, so 乤 and 丄 stay different.
  EXPECT_EQ(Find(Gbk("乤"), Gbk("丄"), 0, true), -1);
  EXPECT_EQ(Find(Gbk("x乤"), Gbk("X乤"), 0, true), 1);
  EXPECT_EQ(Find(Gbk("x乤"), Gbk("X丄"), 0, true), -1);
}

// The plain walk the fast search must agree with: try every character
// start from `start` on; a double-byte character in `sought` compares
// exactly, ASCII letters fold when asked.
int WalkFind(const std::string& text, const std::string& sought, int start, bool ignoreCase) {
  auto fold = [](unsigned char b) { return (b >= 'A' && b <= 'Z') ? b + 32 : b; };
  std::size_t i = start <= 0 ? 0 : static_cast<std::size_t>(start) - 1;
  if (i >= text.size()) return -1;
  if (sought.empty()) return 1;
  for (; i + sought.size() <= text.size();
       i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1) {
    bool same = true;
    bool trail = false;  // whether sought[k] is the trail byte of a pair
    for (std::size_t k = 0; k < sought.size() && same; ++k) {
      const auto a = static_cast<unsigned char>(text[i + k]);
      const auto b = static_cast<unsigned char>(sought[k]);
      const bool exact = !ignoreCase || trail || b >= 0x80;
      same = exact ? a == b : fold(a) == fold(b);
      trail = !trail && b >= 0x80;
    }
    if (same) return static_cast<int>(i) + 1;
  }
  return -1;
}

TEST(Find, AgreesWithAPlainCharacterWalkOnRandomText) {
  // Bytes chosen to collide: lead bytes, trail bytes equal to letters, and
  // letters in both cases.
  const std::string alphabet = std::string("aAbB ") + Gbk("啊乤丄“");
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    std::string sought;
    if (random() % 2 && !text.empty()) {
      const std::size_t from = random() % text.size();
      sought = text.substr(from, 1 + random() % 4);
    } else {
      for (int i = 1 + static_cast<int>(random() % 3); i > 0; --i)
        sought += alphabet[random() % alphabet.size()];
    }
    const int start = static_cast<int>(random() % 28) - 2;
    const bool ignoreCase = random() % 2;
    ASSERT_EQ(Find(text, sought, start, ignoreCase), WalkFind(text, sought, start, ignoreCase))
        << "round " << round;
  }
}

TEST(FindLast, LastOccurrenceWhollyBeforeStart) {
  EXPECT_EQ(FindLast("abcabc", "c"), 6);
  EXPECT_EQ(FindLast("abcabc", "c", 6), 3);
  EXPECT_EQ(FindLast("abcabc", "c", 7), 6);
  EXPECT_EQ(FindLast("abcabc", "c", 3), -1);
  EXPECT_EQ(FindLast("abcabc", "bc", 6), 2);  // the second "bc" ends at byte 6
  EXPECT_EQ(FindLast("aaaa", "aa"), 3);
  EXPECT_EQ(FindLast("abcABC", "abc", 0, true), 4);
  EXPECT_EQ(FindLast("abc", "", 1), -1);
  EXPECT_EQ(FindLast("abc", ""), 1);
  EXPECT_EQ(FindLast(Gbk("啊啊啊"), Gbk("“")), -1);
  EXPECT_EQ(FindLast(Gbk("啊“啊“啊"), Gbk("“")), 7);
}

TEST(Substrings, LeftRightMiddleClipAndRejectBadArguments) {
  EXPECT_EQ(tarnlow::Left("abc", 2), "ab");
  EXPECT_EQ(tarnlow::Left("abc", 9), "abc");
  EXPECT_EQ(tarnlow::Left("abc", 0), "");
  EXPECT_EQ(tarnlow::Left("abc", -1), "");
  EXPECT_EQ(tarnlow::Right("abc", 2), "bc");
  EXPECT_EQ(tarnlow::Right("abc", 9), "abc");
  EXPECT_EQ(tarnlow::Right("abc", 0), "");
  EXPECT_EQ(tarnlow::Middle("abcdef", 2, 3), "bcd");
  EXPECT_EQ(tarnlow::Middle("abc", 3, 5), "c");
  EXPECT_EQ(tarnlow::Middle("abc", 4, 1), "");
  EXPECT_EQ(tarnlow::Middle("abc", 0, 2), "");
  EXPECT_EQ(tarnlow::Middle("abc", 1, 0), "");
}

TEST(Trim, RemovesAsciiAndFullWidthSpacesOnly) {
  EXPECT_EQ(tarnlow::Trim("  a b  "), "a b");
  EXPECT_EQ(tarnlow::Trim(Gbk("　 标题　 　")), Gbk("标题"));
  EXPECT_EQ(tarnlow::Trim("\tx\r\n "), "\tx\r\n");
  EXPECT_EQ(tarnlow::Trim(Gbk("　 　")), "");
  EXPECT_EQ(tarnlow::Trim(""), "");
  EXPECT_EQ(tarnlow::Trim(Gbk("啊　")), Gbk("啊"));
  // 啊 followed by a lone A1: the last two bytes look like a full-width
  // space, but the first of them is the trail byte of 啊.
  const std::string trailThenA1 = Gbk("啊") + Gbk("啊").substr(1);
  EXPECT_EQ(tarnlow::Trim(trailThenA1), trailThenA1);
  EXPECT_EQ(tarnlow::Trim(" " + trailThenA1), trailThenA1);
  EXPECT_EQ(tarnlow::Trim(Gbk("啊啊　")), Gbk("啊啊"));
}

TEST(ToLower, LowersAsciiLettersButNotTrailBytes) {
  EXPECT_EQ(tarnlow::ToLower("ABC def <BR/>"), "abc def <br/>");
  EXPECT_EQ(tarnlow::ToLower(Gbk("丄A")), Gbk("丄a"));
  // 0x81 0x41 is one double-byte character: its trail byte stays.
  EXPECT_EQ(tarnlow::ToLower("\x81\x41Z"), "\x81\x41z");
  // Protocol text has no double-byte characters: every byte counts.
  EXPECT_EQ(tarnlow::AsciiLower("\x81\x41Z"), "\x81\x61z");
  EXPECT_EQ(tarnlow::AsciiLower("Content-Encoding: GZIP"), "content-encoding: gzip");
}

TEST(TrimBlanks, OnlySpacesAndTabsAtTheEnds) {
  EXPECT_EQ(tarnlow::TrimBlanks(" \t key = value \t"), "key = value");
  EXPECT_EQ(tarnlow::TrimBlanks(" \t "), "");
  // A full-width space is part of a setting's value; Trim would take it.
  EXPECT_EQ(tarnlow::TrimBlanks(Gbk("　值　 ")), Gbk("　值　"));
  EXPECT_EQ(tarnlow::Trim(Gbk("　值　 ")), Gbk("值"));
}

TEST(ToInteger, SkipsWhiteSpaceThenReadsASignedNumber) {
  EXPECT_EQ(tarnlow::ToInteger("  -42abc"), -42);
  EXPECT_EQ(tarnlow::ToInteger("\t\r\n +7"), 7);
  EXPECT_EQ(tarnlow::ToInteger("abc"), 0);
  EXPECT_EQ(tarnlow::ToInteger(""), 0);
  EXPECT_EQ(tarnlow::ToInteger("- 5"), 0);
  EXPECT_EQ(tarnlow::ToInteger(Gbk("１２")), 0);
  EXPECT_EQ(tarnlow::ToInteger("99999999999999999999999"), LLONG_MAX);
  EXPECT_EQ(tarnlow::ToInteger("-99999999999999999999999"), LLONG_MIN);
  // 2^64 and its neighbours: a 20-digit number must not wrap to a small one.
  EXPECT_EQ(tarnlow::ToInteger("18446744073709551616"), LLONG_MAX);
  EXPECT_EQ(tarnlow::ToInteger("-18446744073709551617"), LLONG_MIN);
  EXPECT_EQ(tarnlow::ToInteger("9223372036854775807"), LLONG_MAX);
  EXPECT_EQ(tarnlow::ToInteger("-9223372036854775808"), LLONG_MIN);
  EXPECT_EQ(tarnlow::SettingToInteger("18446744073709551616"), LLONG_MAX);
}

TEST(SettingToInteger, CountsFullWidthDigitsAndStopsAtAnythingElse) {
  EXPECT_EQ(tarnlow::SettingToInteger("250"), 250);
  EXPECT_EQ(tarnlow::SettingToInteger(Gbk("１２３")), 123);
  EXPECT_EQ(tarnlow::SettingToInteger(Gbk("1２3")), 123);
  EXPECT_EQ(tarnlow::SettingToInteger("-" + Gbk("４５")), -45);
  EXPECT_EQ(tarnlow::SettingToInteger("+" + Gbk("９")), 9);
  EXPECT_EQ(tarnlow::SettingToInteger(Gbk("１２ ３")), 12);
  EXPECT_EQ(tarnlow::SettingToInteger("12abc"), 12);
  EXPECT_EQ(tarnlow::SettingToInteger(" 12"), 0);
  EXPECT_EQ(tarnlow::SettingToInteger("x"), 0);
  EXPECT_EQ(tarnlow::SettingToInteger("-"), 0);
  EXPECT_EQ(tarnlow::SettingToInteger(""), 0);
  // Only the ten full-width digits count; ０ is A3 B0, ９ is A3 B9.
  EXPECT_EQ(tarnlow::SettingToInteger(Gbk("９Ａ")), 9);
}

TEST(Split, EmptyPiecesExceptATrailingOne) {
  EXPECT_EQ(Split("a,,b", ","), (Pieces{"a", "", "b"}));
  EXPECT_EQ(Split("a,b,", ","), (Pieces{"a", "b"}));
  EXPECT_EQ(Split("a||b||", "||"), (Pieces{"a", "b"}));
  EXPECT_EQ(Split("||a", "||"), (Pieces{"", "a"}));
  EXPECT_EQ(Split(",", ","), (Pieces{""}));
  EXPECT_EQ(Split("abc", ","), (Pieces{"abc"}));
  EXPECT_EQ(Split("line1\r\nline2", "\r\n"), (Pieces{"line1", "line2"}));
}

TEST(Split, EmptyInputsAndMaxCount) {
  EXPECT_EQ(Split("", ","), Pieces{});
  EXPECT_EQ(Split("a,b", ""), (Pieces{"a,b"}));
  EXPECT_EQ(Split("a,b", ",", 0), Pieces{});
  EXPECT_EQ(Split("a,b,c,d", ",", 2), (Pieces{"a", "b"}));
  EXPECT_EQ(Split("a,b", ",", 1), (Pieces{"a"}));
  EXPECT_EQ(Split("a,b", ",", 2), (Pieces{"a", "b"}));
  EXPECT_EQ(Split("a,b", ",", 5), (Pieces{"a", "b"}));
  EXPECT_EQ(Split("a", ",", 1), (Pieces{"a"}));
}

TEST(Split, NeverCutsADoubleByteCharacter) {
  EXPECT_EQ(Split(Gbk("亅|b"), "|"), (Pieces{Gbk("亅"), "b"}));
  EXPECT_EQ(Split(Gbk("啊啊"), Gbk("“")), (Pieces{Gbk("啊啊")}));
}

TEST(TextBetween, MarksIgnoreCaseUnlessAsked) {
  const std::string page = "<HTML><HEAD><TITLE>My Book</TITLE></HEAD>";
  EXPECT_EQ(TextBetween(page, "<title>", "</title>"), "My Book");
  EXPECT_EQ(TextBetween(page, "<title>", "</title>", 0, true), "");
  EXPECT_EQ(TextBetween(page, "<TITLE>", "</TITLE>", 0, true), "My Book");
  // Marks found on the lowered text; the part keeps its own case.
  EXPECT_EQ(TextBetween("x<B>AbC</b>", "<b>", "</B>"), "AbC");
}

TEST(TextBetween, StartIndexMissingMarksAndEmptyEndMark) {
  EXPECT_EQ(TextBetween("[a][b]", "[", "]"), "a");
  EXPECT_EQ(TextBetween("[a][b]", "[", "]", 1), "b");
  EXPECT_EQ(TextBetween("[a][b]", "[", "]", 3), "b");
  EXPECT_EQ(TextBetween("[a][b]", "[", "]", 4), "");
  EXPECT_EQ(TextBetween("[a][b]", "[", "]", 99), "");
  EXPECT_EQ(TextBetween("key=value", "=", ""), "value");
  EXPECT_EQ(TextBetween("key=", "=", ""), "");
  EXPECT_EQ(TextBetween("[a", "[", "]"), "");
  EXPECT_EQ(TextBetween("a]", "[", "]"), "");
  EXPECT_EQ(TextBetween("", "[", "]"), "");
  EXPECT_EQ(TextBetween("[a]", "", "]"), "");
  // The end mark is searched after the start mark only.
  EXPECT_EQ(TextBetween("]x[y]", "[", "]"), "y");
}

TEST(TextBetween, StripRemovesLineBreaksTabsAndEdgeSpaces) {
  const std::string page = "<title>\r\n\t My\tBook " + Gbk("　") + "\r\n</title>";
  EXPECT_EQ(TextBetween(page, "<title>", "</title>", 0, false, true), "My Book");
  EXPECT_EQ(TextBetween("<t>a\rb\nc</t>", "<t>", "</t>", 0, false, true), "abc");
  EXPECT_EQ(TextBetween("<t>a\r\nb</t>", "<t>", "</t>"), "a\r\nb");
}

TEST(TextBetween, MarksNeverStartInsideADoubleByteCharacter) {
  EXPECT_EQ(TextBetween(Gbk("乤bAbcD"), "a", "d"), "bc");
  EXPECT_EQ(TextBetween(Gbk("啊啊x“y"), Gbk("“"), ""), "y");
  EXPECT_EQ(TextBetween(Gbk("啊啊x“y"), "x", "y"), Gbk("“"));
}

}  // namespace

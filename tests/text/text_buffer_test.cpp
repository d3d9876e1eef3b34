#include "text/text_buffer.h"

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace {

using tarnlow::TextBuffer;

std::string Gbk(const char* utf8) { return tarnlow::Utf8ToAnsi(utf8); }

TEST(TextBuffer, GetSetAndSpans) {
  TextBuffer buffer("abcdef");
  EXPECT_EQ(buffer.Length(), 6);
  EXPECT_EQ(buffer.Get(), "abcdef");
  EXPECT_EQ(buffer.Get(2, 3), "bcd");
  EXPECT_EQ(buffer.Get(5), "ef");
  EXPECT_EQ(buffer.Get(5, 99), "ef");
  EXPECT_EQ(buffer.Get(7), "");
  EXPECT_EQ(buffer.Get(0), "");
  EXPECT_EQ(buffer.Get(1, 0), "");

  buffer.Set({"ab", "", "cd"});
  EXPECT_EQ(buffer.Text(), "abcd");
  // Pieces may come from the buffer itself.
  const std::string_view self = buffer.Text();
  buffer.Set({self.substr(2), self.substr(0, 2)});
  EXPECT_EQ(buffer.Text(), "cdab");
  buffer.Set(std::string_view(buffer.Text()).substr(1));
  EXPECT_EQ(buffer.Text(), "dab");
}

TEST(TextBuffer, ReplaceSpanClipsAndAppends) {
  TextBuffer buffer("abcdef");
  buffer.ReplaceSpan(2, 3, "X");
  EXPECT_EQ(buffer.Text(), "aXef");
  buffer.ReplaceSpan(5, 0, "!");
  EXPECT_EQ(buffer.Text(), "aXef!");
  buffer.ReplaceSpan(3, 100, "");
  EXPECT_EQ(buffer.Text(), "aX");
  buffer.ReplaceSpan(0, 1, "?");
  buffer.ReplaceSpan(4, 1, "?");
  EXPECT_EQ(buffer.Text(), "aX");
}

TEST(TextBuffer, FindAndFindLastHonourExactness) {
  TextBuffer buffer("<P>one<p>two<p>");
  EXPECT_EQ(buffer.BufferFind("<p>"), 7);
  EXPECT_EQ(buffer.BufferFind("<p>", 1, false), 1);
  EXPECT_EQ(buffer.BufferFind("<p>", 8), 13);
  EXPECT_EQ(buffer.BufferFindLast("<p>"), 13);
  // Reverse find ending before position 13: the match must end by byte 12.
  EXPECT_EQ(buffer.BufferFindLast("<p>", 13), 7);
  EXPECT_EQ(buffer.BufferFindLast("<p>", 7), -1);
  EXPECT_EQ(buffer.BufferFindLast("<p>", 7, false), 1);
}

TEST(TextBuffer, ReplaceAllNeverReexaminesInsertedText) {
  TextBuffer buffer("aXa");
  EXPECT_EQ(buffer.ReplaceAll("a", "aa"), 2);
  EXPECT_EQ(buffer.Text(), "aaXaa");

  buffer.Set("aaa");
  EXPECT_EQ(buffer.ReplaceAll("aa", "b"), 1);
  EXPECT_EQ(buffer.Text(), "ba");

  // Replacing "ab" by "a" in "aab" must not join the result into a new "ab".
  buffer.Set("aabb");
  EXPECT_EQ(buffer.ReplaceAll("ab", "a"), 1);
  EXPECT_EQ(buffer.Text(), "aab");
}

TEST(TextBuffer, ReplaceAllCountStartAndCase) {
  TextBuffer buffer("a.a.a");
  EXPECT_EQ(buffer.ReplaceAll("a", "b", 1, 1), 1);
  EXPECT_EQ(buffer.Text(), "b.a.a");
  EXPECT_EQ(buffer.ReplaceAll("a", "b", 1, 0), 0);
  EXPECT_EQ(buffer.Text(), "b.a.a");

  buffer.Set("xxxx");
  EXPECT_EQ(buffer.ReplaceAll("x", "y", 3), 2);
  EXPECT_EQ(buffer.Text(), "xxyy");
  EXPECT_EQ(buffer.ReplaceAll("x", "y", 5), 0);
  EXPECT_EQ(buffer.ReplaceAll("", "y"), 0);
  EXPECT_EQ(buffer.Text(), "xxyy");

  buffer.Set("<BR>a<br>b<Br>");
  EXPECT_EQ(buffer.ReplaceAll("<br>", "\r\n"), 1);
  EXPECT_EQ(buffer.ReplaceAll("<br>", "\r\n", 1, -1, false), 2);
  EXPECT_EQ(buffer.Text(), "\r\na\r\nb\r\n");
}

TEST(TextBuffer, ReplaceAllSkipsHitsInsideDoubleByteCharacters) {
  TextBuffer buffer(Gbk("啊啊“"));
  EXPECT_EQ(buffer.ReplaceAll(Gbk("“"), "\""), 1);
  EXPECT_EQ(buffer.Text(), Gbk("啊啊") + "\"");
  buffer.Set(Gbk("乤a丄A"));
  EXPECT_EQ(buffer.ReplaceAll("a", "-", 1, -1, false), 2);
  EXPECT_EQ(buffer.Text(), Gbk("乤-丄-"));
}

TEST(TextBuffer, ReplaceAllIsLinearOnAPageWithManyHits) {
  // 1 MiB with a hit every 16 bytes; a buffer that shifted the tail on every
  // replacement would need minutes for this.
  std::string page;
  while (page.size() < (1u << 20)) page += Gbk("正文内容") + "&nbsp;xx";
  TextBuffer buffer(page);
  const auto began = std::chrono::steady_clock::now();
  const int replaced = buffer.ReplaceAll("&nbsp;", " ");
  const auto elapsed = std::chrono::steady_clock::now() - began;
  EXPECT_EQ(replaced, static_cast<int>(page.size() / 16));
  EXPECT_EQ(buffer.Length(), static_cast<int>(page.size()) - replaced * 5);
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(TextBuffer, BufferTrimTrimsInPlace) {
  TextBuffer buffer(Gbk("　 正文 　"));
  buffer.BufferTrim();
  EXPECT_EQ(buffer.Text(), Gbk("正文"));
}

}  // namespace

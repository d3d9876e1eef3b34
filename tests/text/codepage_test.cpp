#include "text/codepage.h"

#include <string>
#include <thread>
#include <vector>

#include <iconv.h>

#include <gtest/gtest.h>

namespace {

using tarnlow::GbkToUtf16;
using tarnlow::Utf16ToGbk;
using tarnlow::Utf8ToAnsi;

std::string Gbk(const char* utf8) { return Utf8ToAnsi(utf8); }

TEST(Codepage, ChineseTextRoundTrips) {
  const std::string gbk = Gbk("第一章 标题，“引号”。");
  EXPECT_EQ(gbk.size(), 23u);  // eleven double-byte characters and a space
  EXPECT_EQ(GbkToUtf16(gbk), u"第一章 标题，“引号”。");
  EXPECT_EQ(Utf16ToGbk(GbkToUtf16(gbk)), gbk);
  EXPECT_EQ(tarnlow::GbkToUtf8(gbk), "第一章 标题，“引号”。");
  EXPECT_EQ(Utf16ToGbk(u"plain ascii"), "plain ascii");
  EXPECT_EQ(GbkToUtf16(""), u"");
  EXPECT_EQ(Utf16ToGbk(u""), "");
}

TEST(Codepage, CharactersGbkLacksBecomeOneQuestionMarkPerUnit) {
  EXPECT_EQ(Utf16ToGbk(u"a½b"), "a?b");  // no " 1/2 " transliteration
  EXPECT_EQ(Utf16ToGbk(u"a😀b"), "a??b");
  EXPECT_EQ(Utf16ToGbk(u"😀😀"), "????");
  EXPECT_EQ(Utf16ToGbk(u"\uFFFD"), "?");
  std::u16string lone = u"x";
  lone += static_cast<char16_t>(0xD800);
  EXPECT_EQ(Utf16ToGbk(lone), "x?");
  lone += u"y";
  EXPECT_EQ(Utf16ToGbk(lone), "x?y");
  EXPECT_EQ(Utf16ToGbk(std::u16string(1, static_cast<char16_t>(0xDC00)) + u"中"), "?" + Gbk("中"));
}

TEST(Codepage, UndecodableGbkBytesBecomeOneReplacementEach) {
  // A stray byte, a lead byte before an ASCII byte that cannot be a trail
  // byte, a lead byte at the end, and a well-formed pair GBK leaves unused.
  EXPECT_EQ(GbkToUtf16("a\xFF"
                       "b"),
            u"a\uFFFD"
            "b");
  EXPECT_EQ(GbkToUtf16("\x81"
                       "0"),
            u"\uFFFD"
            "0");
  EXPECT_EQ(GbkToUtf16("a\x81"), u"a\uFFFD");
  EXPECT_EQ(GbkToUtf16("\xA2\xAB"
                       "b"),
            u"\uFFFD"
            "b");
  EXPECT_EQ(GbkToUtf16("\xFF" + Gbk("中")), u"\uFFFD中");
}

TEST(Codepage, OffsetsMapEveryUnitToItsGbkByte) {
  std::vector<int> offsets;
  EXPECT_EQ(GbkToUtf16(Gbk("a中b"), offsets), u"a中b");
  EXPECT_EQ(offsets, (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(GbkToUtf16("x\xFF\xA2\xAB" + Gbk("中"), offsets), u"x\uFFFD\uFFFD中");
  EXPECT_EQ(offsets, (std::vector<int>{0, 1, 2, 4, 6}));
  EXPECT_EQ(GbkToUtf16("", offsets), u"");
  EXPECT_EQ(offsets, (std::vector<int>{0}));
}

// The code page's own answer for one character: iconv on it alone, U+FFFD
// when iconv refuses it.
char16_t IconvCharacter(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-16LE", "CP936");
  char16_t unit[2] = {0xFFFD, 0};
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* out = reinterpret_cast<char*>(unit);
  std::size_t outLeft = sizeof(unit);
  if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
      outLeft != sizeof(char16_t)) {
    unit[0] = 0xFFFD;
  }
  iconv_close(cd);
  return unit[0];
}

// Decoding is by a table made once: it must give what iconv gives, for every
// byte alone and every pair of bytes (a pair, or a lead byte and a byte that
// cannot follow it, or two single bytes).
TEST(Codepage, EveryOneAndTwoByteTextDecodesAsIconvSays) {
  const auto isLead = [](int b) { return b >= 0x81 && b <= 0xFE; };
  const auto isTrail = [](int b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; };
  int mismatches = 0;
  for (int a = 0; a < 256; ++a) {
    const std::string one(1, static_cast<char>(a));
    if (GbkToUtf16(one) != std::u16string(1, IconvCharacter(one))) ++mismatches;
    for (int b = 0; b < 256; ++b) {
      const std::string two = one + static_cast<char>(b);
      std::u16string expected;
      if (isLead(a) && isTrail(b)) {
        expected = IconvCharacter(two);
      } else {
        expected = {IconvCharacter(one), IconvCharacter(two.substr(1))};
      }
      if (GbkToUtf16(two) != expected && ++mismatches < 5) {
        ADD_FAILURE() << "bytes " << a << " " << b;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Codepage, Utf8ToAnsiReplacesInvalidSequences) {
  EXPECT_EQ(Utf8ToAnsi(""), "");
  EXPECT_EQ(Utf8ToAnsi("abc"), "abc");
  EXPECT_EQ(Utf8ToAnsi("中文"), Gbk("中") + Gbk("文"));
  EXPECT_EQ(Utf8ToAnsi("a\xFF"
                       "b"),
            "a?b");
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8"), "?");  // truncated character
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8"
                       "x"),
            "?x");                               // the ASCII byte survives
  EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "??");       // overlong form
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???");  // encoded surrogate
  EXPECT_EQ(Utf8ToAnsi("中\xFF文"), Gbk("中") + "?" + Gbk("文"));
  EXPECT_EQ(Utf8ToAnsi("a😀b"), "a??b");
}

TEST(Codepage, CountInvalidUtf8CountsEachBadSequenceOnce) {
  EXPECT_EQ(tarnlow::CountInvalidUtf8(""), 0);
  EXPECT_EQ(tarnlow::CountInvalidUtf8("abc 中文 😀"), 0);
  EXPECT_EQ(tarnlow::CountInvalidUtf8("\xFF\xFE"), 2);
  EXPECT_EQ(tarnlow::CountInvalidUtf8("\xE4\xB8"), 1);
  EXPECT_EQ(tarnlow::CountInvalidUtf8("\xF4\x90\x80\x80"), 4);  // above U+10FFFF
  // GBK bytes read as UTF-8 are mostly invalid.
  EXPECT_GT(tarnlow::CountInvalidUtf8(Gbk("第一章")), 0);
}

TEST(Codepage, GbkLiteralIsConvertedOnce) {
  const std::string& first = tarnlow::Gbk<"取目录列表">();
  EXPECT_EQ(first, Gbk("取目录列表"));
  EXPECT_EQ(&first, &tarnlow::Gbk<"取目录列表">());
}

TEST(Codepage, ConcurrentConversionsDoNotInterfere) {
  const std::string gbk = Gbk("并发转换：第一章") + "\xFF" + Gbk("，结束😀");
  const std::u16string expected = GbkToUtf16(gbk);
  const std::string expectedBack = Utf16ToGbk(expected);
  ASSERT_EQ(expectedBack, Gbk("并发转换：第一章") + "?" + Gbk("，结束") + "??");
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if (GbkToUtf16(gbk) != expected || Utf16ToGbk(expected) != expectedBack) {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, (std::vector<int>{0, 0, 0, 0}));
}

}  // namespace

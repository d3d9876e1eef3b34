// The page fetcher's work after the request, on answers made up in the test.

#include <ctime>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "fetch/fetch_page.h"
#include "tests/support/support.h"
#include "text/codepage.h"
#include "text/regex.h"

namespace tarnlow {
namespace {

using test::Gbk;

constexpr std::string_view kOk = "HTTP/1.1 200 OK\r\nServer: t\r\n\r\n";

std::string Utf8Page(std::string_view meta, std::string_view body) {
  return "<html><head>" + std::string(meta) + "<title>x</title></head><body>" + std::string(body) +
         "</body></html>";
}

TEST(ProcessResponse, FailureTexts) {
  EXPECT_EQ(ShownText(ProcessResponse("body", "")),
            Gbk(" 网页获取失败！错误代码：\r\n\r\n 网络异常"));
  EXPECT_EQ(
      ShownText(ProcessResponse("gone", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\n")),
      Gbk(" 网页获取失败！错误代码：\r\n\r\nHTTP/1.1 404 Not Found"));
  // The "200" test looks anywhere in the status line, and only there.
  EXPECT_EQ(ShownText(ProcessResponse("x", "HTTP/1.1 302 Found\r\nX-Code: 200\r\n\r\n")),
            Gbk(" 网页获取失败！错误代码：\r\n\r\nHTTP/1.1 302 Found"));
  EXPECT_EQ(ShownText(ProcessResponse("x", "HTTP/1.1 404 Not 2009\r\n\r\n")), "x");
  EXPECT_EQ(FetchFailedMarker(), Gbk(" 网页获取失败！错误代码："));
}

// What an answer that is not a page asks for: its status code, and a
// Retry-After in seconds or as an HTTP date (a date gone by is no wait);
// anything else in it asks for nothing.
TEST(ProcessResponse, StatusCodeAndRetryAfter) {
  char inAMinute[64];
  const std::time_t later = std::time(nullptr) + 60;
  std::tm parts{};
  gmtime_r(&later, &parts);
  std::strftime(inAMinute, sizeof inAMinute, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  struct Row {
    std::string statusLine;
    std::string retryAfter;  // empty: no such header
    int code;
    long long minMs;
    long long maxMs;
  };
  const Row rows[] = {
      {"HTTP/1.1 429 Too Many Requests", "1", 429, 1000, 1000},
      {"HTTP/1.1 503 Service Unavailable", " 120 ", 503, 120000, 120000},
      {"HTTP/1.1 503 Service Unavailable", inAMinute, 503, 50000, 60000},
      {"HTTP/1.1 429 Too Many Requests", "Wed, 21 Oct 2015 07:28:00 GMT", 429, 0, 0},
      {"HTTP/1.1 429 Too Many Requests", "later", 429, -1, -1},
      {"HTTP/1.1 429 Too Many Requests", "", 429, -1, -1},
      {"HTTP/1.1 404 Not Found", "", 404, -1, -1},
      {"HTTP/1.1 4x4 Odd", "1", 0, 1000, 1000},
  };
  for (const Row& row : rows) {
    std::string head = row.statusLine + "\r\n";
    if (!row.retryAfter.empty()) head += "Retry-After: " + row.retryAfter + "\r\n";
    const FetchResult result = ProcessResponse("x", head + "\r\n");
    EXPECT_EQ(result.kind, FetchResult::Kind::HttpStatus) << row.statusLine;
    EXPECT_EQ(result.statusCode, row.code) << row.statusLine;
    EXPECT_GE(result.retryAfterMs, row.minMs) << row.retryAfter;
    EXPECT_LE(result.retryAfterMs, row.maxMs) << row.retryAfter;
  }
  EXPECT_EQ(ProcessResponse("x", kOk).statusCode, 200);
}

TEST(ProcessResponse, EmptyBodyAndZeroByte) {
  EXPECT_EQ(ShownText(ProcessResponse("", kOk)), "");
  EXPECT_EQ(ShownText(ProcessResponse(std::string("abc\0def", 7), kOk)), "abc");
  // The cut happens on the decoded body.
  EXPECT_EQ(ShownText(ProcessResponse(test::GzipBytes(std::string("gz\0tail", 7)), kOk)), "gz");
}

TEST(ProcessResponse, Utf8DeclarationsInTheHeadAreConverted) {
  const std::string body = "第一章 风起";
  for (const char* meta :
       {R"(<meta charset=utf-8>)", R"(<meta charset="UTF-8">)", R"(<META CHARSET=UTF-8>)",
        R"(<meta charset=UTF8>)",
        R"(<meta http-equiv="Content-Type" content="text/html; charset=utf-8">)"}) {
    const std::string page = Utf8Page(meta, body);
    EXPECT_EQ(ShownText(ProcessResponse(page, kOk)), Utf8ToAnsi(page)) << meta;
  }
}

TEST(ProcessResponse, DeclarationsThatDoNotCount) {
  const std::string body = "第一章";
  // After the head: not searched.
  const std::string late = "<html><head><title>x</title></head><meta charset=utf-8>" + body;
  EXPECT_EQ(ShownText(ProcessResponse(late, kOk)), late);
  // "=" and the name on different lines.
  const std::string split = "<html><head><meta charset=\n\"utf-8\"></head>" + body;
  EXPECT_EQ(ShownText(ProcessResponse(split, kOk)),
            "<html><head><meta charset=\"utf-8\"></head>" + body);
  // GBK declared: taken as it is.
  const std::string gbk = "<html><head><meta charset=gbk></head>" + Gbk(body);
  EXPECT_EQ(ShownText(ProcessResponse(gbk, kOk)), gbk);
}

TEST(ProcessResponse, UpperCaseHeadEndMeansTheWholePageIsSearched) {
  const std::string page = "<html><HEAD><title>x</title></HEAD><meta charset=utf-8>第一章";
  EXPECT_EQ(ShownText(ProcessResponse(page, kOk)), Utf8ToAnsi(page));
}

TEST(ProcessResponse, CharactersOutsideTheCodePage) {
  // An emoji converts to two question marks, which become one space; so does
  // a genuine "??" of a converted page, while "???" keeps one.
  const std::string page = Utf8Page("<meta charset=utf-8>", "a😀b??c???d");
  EXPECT_EQ(ShownText(ProcessResponse(page, kOk)),
            Utf8ToAnsi(Utf8Page("<meta charset=utf-8>", "a b c ?d")));
  // Not converted: no replacement.
  const std::string gbk = "<html><head></head>a??b";
  EXPECT_EQ(ShownText(ProcessResponse(gbk, kOk)), gbk);
}

TEST(ProcessResponse, PageClaimingUtf8ButHoldingGbkIsLeftAlone) {
  std::string gbkText;
  for (int i = 0; i < 40; ++i) gbkText += Gbk("这是一段中文的正文。");
  const std::string page = "<html><head><meta charset=utf-8></head><body>" + gbkText + "</body>";
  EXPECT_EQ(ShownText(ProcessResponse(page, kOk)), page);
  // However short the text, among however much ASCII markup.
  const std::string markup(60000, ' ');
  for (const char* text : {"第第第第", "第一章"}) {
    const std::string shortPage =
        "<html><head><meta charset=utf-8></head><body>" + markup + Gbk(text) + "</body>";
    EXPECT_EQ(ShownText(ProcessResponse(shortPage, kOk)), shortPage) << text;
  }

  // A genuine UTF-8 page with a few stray bytes is still converted.
  std::string utf8Text;
  for (int i = 0; i < 40; ++i) utf8Text += "这是一段中文的正文。";
  const std::string damaged =
      "<html><head><meta charset=utf-8></head><body>" + utf8Text + "\xff\xfe</body>";
  const std::string converted = ShownText(ProcessResponse(damaged, kOk));
  EXPECT_NE(converted.find(Gbk("这是一段中文的正文。")), std::string::npos);
}

TEST(ProcessResponse, DeclarationTestAgreesWithItsPatternOnAnyHead) {
  // Heads built from the pieces that matter (the "=", the letters, "-", "8",
  // line breaks, a GBK character whose trail byte is "u") against the pattern
  // engine itself.
  const std::string pieces[] = {"=", "=",  " ",  "a", "u", "T",     "f",  "-",
                                "8", "\n", "\r", "=", "8", "\xD5u", "u8", "F-8"};
  std::string body;
  for (int i = 0; i < 200; ++i) body += "中文";
  Regex pattern;
  ASSERT_TRUE(pattern.Compile("=.*[uUtTfF]-?[8]"));
  std::mt19937 random(7);
  int declared = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string head;
    for (int n = random() % 10; n > 0; --n) head += pieces[random() % std::size(pieces)];
    const bool expected = pattern.Search(head).Matched();
    declared += expected;
    const std::string page = head + "</head>" + body;
    const bool converted = ShownText(ProcessResponse(page, kOk)) != DecodeEntities(page);
    ASSERT_EQ(converted, expected) << "head: " << head;
  }
  EXPECT_GT(declared, 300);  // both answers were tried often
  EXPECT_LT(declared, 2400);
}

TEST(ProcessResponse, LongScriptLineBeforeTheDeclaration) {
  // A head line full of "=" that names no character set, then the real
  // declaration: the page is still found to be UTF-8.
  std::string script = "<script>";
  for (int i = 0; i < 15000; ++i) script += "var a=1;b=c+2;";
  const std::string page =
      "<html><head>" + script + "</script>\n<meta charset=\"utf-8\"></head><body>第一章</body>";
  const std::string text = ShownText(ProcessResponse(page, kOk));
  EXPECT_NE(text.find(Gbk("第一章")), std::string::npos);
}

TEST(ProcessResponse, ContentTypeCharsetCountsWhenTheHeadSaysNothing) {
  const std::string page = "<html><head><title>x</title></head>第一章";
  for (const char* contentType :
       {"text/html; charset=utf-8", "text/html;charset=UTF8", "text/html; Charset=\"Utf-8\""}) {
    const std::string headers =
        std::string("HTTP/1.1 200 OK\r\nContent-Type: ") + contentType + "\r\n\r\n";
    EXPECT_EQ(ShownText(ProcessResponse(page, headers)), Utf8ToAnsi(page)) << contentType;
  }
  EXPECT_EQ(ShownText(ProcessResponse(page, "HTTP/1.1 200 OK\r\ncontent-type: text/html\r\n\r\n")),
            page);
  EXPECT_EQ(ShownText(ProcessResponse(
                page, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\n\r\n")),
            page);
  // Even then a page whose bytes are not UTF-8 stays as it is.
  std::string gbkPage = "<html><head></head>";
  for (int i = 0; i < 40; ++i) gbkPage += Gbk("中文正文");
  EXPECT_EQ(ShownText(ProcessResponse(
                gbkPage, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n")),
            gbkPage);
  // A head that declares GBK is believed over the answer header, however
  // little Chinese the page holds.
  for (const char* text : {"第", "第第第第", "第一章 雾起"}) {
    const std::string declaredGbk = "<html><head><meta charset=\"gbk\"></head>" + Gbk(text);
    EXPECT_EQ(
        ShownText(ProcessResponse(
            declaredGbk, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n")),
        declaredGbk)
        << text;
  }
}

TEST(ProcessResponse, ContentEncodingOfTheAnswer) {
  const std::string page = "<html><head></head><body>compressed page</body></html>";
  EXPECT_EQ(ShownText(ProcessResponse(test::BrotliBytes(page),
                                      "HTTP/1.1 200 OK\r\nContent-Encoding: br\r\n\r\n")),
            page);
  EXPECT_EQ(ShownText(ProcessResponse(test::ZlibBytes(page),
                                      "HTTP/1.1 200 OK\r\ncontent-encoding: deflate\r\n\r\n")),
            page);
  EXPECT_EQ(ShownText(ProcessResponse(test::GzipBytes(page), kOk)), page);
}

TEST(DecodeEntities, FixedReplacementsInOrder) {
  EXPECT_EQ(DecodeEntities("a&nbsp;b&emsp;c"), "a b c");
  EXPECT_EQ(DecodeEntities("x&amp;lt;y"), "x&lt;y");
  EXPECT_EQ(DecodeEntities("&amp;nbsp;"), "&nbsp;");
  EXPECT_EQ(DecodeEntities("&amp;quot;"), "\"");
  EXPECT_EQ(DecodeEntities("&quot;hi&quot;"), "\"hi\"");
  EXPECT_EQ(DecodeEntities("it&#39;s &lt;b&gt;"), "it's <b>");
  EXPECT_EQ(DecodeEntities("&#8220;q&#8221; &copy;"), "&#8220;q&#8221; &copy;");
  EXPECT_EQ(DecodeEntities("one\r\ntwo\nthree\rfour"), "onetwothreefour");
  EXPECT_EQ(DecodeEntities("&&lt;lt;"), "&<lt;");
  EXPECT_EQ(DecodeEntities("&NBSP;"), "&NBSP;");
  // After a double-byte character as much as anywhere else.
  EXPECT_EQ(DecodeEntities("中&nbsp;文"), "中 文");
  EXPECT_EQ(DecodeEntities(Gbk("中&nbsp;文")), Gbk("中 文"));
}

}  // namespace
}  // namespace tarnlow

// Pages far larger or heavier than any real chapter: bodies beyond the cap,
// decompression bombs, hundreds of thousands of tags, tens of thousands of
// links and a clean rule that backtracks without end. Each finishes within
// a bound, with memory bounded, and the chapters around it stay exact.

#include <gtest/gtest.h>

#include <brotli/encode.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "chapters/download_job.h"
#include "commands/commands.h"
#include "tests/faults/book_fixture.h"
#include "text/codepage.h"
#include "text/regex.h"

namespace tarnlow::faults {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Peak resident memory of this process since the last ResetPeakMemory, in MiB.
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }
long PeakMemoryMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  }
  return -1;
}

// `prefix` followed by `zeros` zero bytes, compressed as the coding names it,
// made in slices so the expanded bytes never exist in memory.
std::string Bomb(const std::string& coding, const std::string& prefix, std::size_t zeros) {
  const std::vector<char> slice(kMiB, '\0');
  std::string out;
  std::vector<unsigned char> buffer(1 << 16);
  if (coding == "br") {
    BrotliEncoderState* state = BrotliEncoderCreateInstance(nullptr, nullptr, nullptr);
    BrotliEncoderSetParameter(state, BROTLI_PARAM_QUALITY, 1);
    const auto feed = [&](const char* data, std::size_t size, BrotliEncoderOperation op) {
      auto* in = reinterpret_cast<const std::uint8_t*>(data);
      do {
        std::size_t room = buffer.size();
        std::uint8_t* next = buffer.data();
        BrotliEncoderCompressStream(state, op, &size, &in, &room, &next, nullptr);
        out.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - room);
      } while (size > 0 || BrotliEncoderHasMoreOutput(state));
    };
    feed(prefix.data(), prefix.size(), BROTLI_OPERATION_PROCESS);
    for (std::size_t left = zeros; left > 0;) {
      const std::size_t n = std::min(left, slice.size());
      left -= n;
      feed(slice.data(), n, BROTLI_OPERATION_PROCESS);
    }
    while (!BrotliEncoderIsFinished(state)) feed(nullptr, 0, BROTLI_OPERATION_FINISH);
    BrotliEncoderDestroyInstance(state);
    return out;
  }
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, coding == "gzip" ? 31 : 15, 9, Z_RLE);
  const auto feed = [&](const char* data, std::size_t size, int flush) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs.avail_in = static_cast<uInt>(size);
    do {
      zs.next_out = buffer.data();
      zs.avail_out = static_cast<uInt>(buffer.size());
      deflate(&zs, flush);
      out.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - zs.avail_out);
    } while (zs.avail_out == 0);
  };
  feed(prefix.data(), prefix.size(), Z_NO_FLUSH);
  for (std::size_t left = zeros; left > 0;) {
    const std::size_t n = std::min(left, slice.size());
    left -= n;
    feed(slice.data(), n, left == 0 ? Z_FINISH : Z_NO_FLUSH);
  }
  deflateEnd(&zs);
  return out;
}

class BigPages : public BookFixture {};

TEST_F(BigPages, HundredMegabyteBodyIsCutAtTheCapAndTheRunGoesOn) {
  constexpr std::size_t kBody = 100 * kMiB;
  const std::string page = ChapterPage(3);
  std::atomic<std::size_t> delivered{0};
  server.Get("/book/3.html", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(
        kBody, "text/html", [&](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          static const std::string spaces(64 * 1024, ' ');
          const std::string chunk = offset < page.size()
                                        ? page.substr(offset, length)
                                        : spaces.substr(0, std::min(length, spaces.size()));
          if (!sink.write(chunk.data(), chunk.size())) return false;
          delivered = offset + chunk.size();
          return true;
        });
  });
  app.state.threadCount = 1;
  AddChapters(5);

  ResetPeakMemory();
  const long before = PeakMemoryMiB();
  const auto start = Clock::now();
  ASSERT_TRUE(DownloadChapters(app, 0));
  const auto took = Since(start);
  const long peak = PeakMemoryMiB();
  std::printf("100 MB body: %.2f s, %zu MiB delivered, peak %ld MiB (%ld MiB before)\n",
              took.count(), delivered.load() / kMiB, peak, before);

  // The page came first in the body, so the cut body still holds it whole.
  EXPECT_EQ(Book(), ExpectedBook(5, {}));
  EXPECT_EQ(app.state.failedCount, 0);
  // The client hung up at its cap; the rest of the body was never taken.
  EXPECT_GE(delivered.load(), 64 * kMiB);
  EXPECT_LT(delivered.load(), 90 * kMiB);
  EXPECT_LT(peak, 1024);
  EXPECT_LT(took, 60s);
}

TEST_F(BigPages, DecompressionBombsAreCappedAndThePageSurvives) {
  constexpr std::size_t kExpanded = 1024 * kMiB;
  server.Serve("/bomb/2.html", Bomb("gzip", ChapterPage(2), kExpanded), "text/html", 200,
               {{"Content-Encoding", "gzip"}});
  server.Serve("/bomb/4.html", Bomb("deflate", ChapterPage(4), kExpanded), "text/html", 200,
               {{"Content-Encoding", "deflate"}});
  server.Serve("/bomb/6.html", Bomb("br", ChapterPage(6), kExpanded), "text/html", 200,
               {{"Content-Encoding", "br"}});
  app.state.threadCount = 1;
  for (int n = 1; n <= 7; ++n) {
    AddChapter(Title(n),
               n % 2 == 0 ? server.Url("/bomb/" + std::to_string(n) + ".html") : ChapterUrl(n));
  }

  ResetPeakMemory();
  const long before = PeakMemoryMiB();
  const auto start = Clock::now();
  ASSERT_TRUE(DownloadChapters(app, 0));
  const auto took = Since(start);
  const long peak = PeakMemoryMiB();
  std::printf("three 1 GiB bombs: %.2f s, peak %ld MiB (%ld MiB before)\n", took.count(), peak,
              before);

  // Each bomb opens with its chapter page; the zeros after it end the page.
  EXPECT_EQ(Book(), ExpectedBook(7, {}));
  EXPECT_EQ(app.state.failedCount, 0);
  // Any one bomb expanded whole would hold a gigabyte resident by itself.
  EXPECT_LT(peak, 900);
  EXPECT_LT(took, 60s);
}

TEST_F(BigPages, TwoHundredThousandLineBreaksExtractInTime) {
  constexpr int kLines = 200000;
  std::string lines;
  std::string expected;
  for (int i = 1; i <= kLines; ++i) {
    lines += Gbk("行") + std::to_string(i) + "<br />";
    expected += Gbk("行") + std::to_string(i) + "\r\n";
  }
  expected += "\r\n";  // the last tag's line break, then the text's own
  const std::string page = "<html><head><title>x</title></head><body><div id=\"content\">" + lines +
                           "</div></body></html>";
  server.Serve("/heavy/2.html", page);
  AddChapter(Title(1), ChapterUrl(1));
  AddChapter(Title(2), server.Url("/heavy/2.html"));
  AddChapter(Title(3), ChapterUrl(3));

  auto start = Clock::now();
  ASSERT_TRUE(DownloadChapters(app, 0));
  const auto byBreakRun = Since(start);
  EXPECT_EQ(app.chapters[1].text, expected);
  EXPECT_EQ(app.chapters[0].text, ChapterText(1));
  EXPECT_EQ(app.chapters[2].text, ChapterText(3));

  // The same page cut by the user's text marks.
  for (std::size_t i = 0; i < app.chapters.Size(); ++i) app.chapters.SetText(i, "");
  model.SetBox(Box::TextBegin, "<div id=\"content\">");
  model.SetBox(Box::TextEnd, "</div>");
  model.SetBox(Box::SaveName, Gbk("标记"));
  start = Clock::now();
  ASSERT_TRUE(DownloadChapters(app, 0));
  const auto byMarks = Since(start);
  EXPECT_EQ(app.chapters[1].text, expected);
  std::printf("200000 <br />: %.2f s by the break run, %.2f s by marks\n", byBreakRun.count(),
              byMarks.count());
  EXPECT_LT(byBreakRun, 20s);
  EXPECT_LT(byMarks, 20s);
}

TEST_F(BigPages, FiftyThousandLinksAreListedInOrder) {
  constexpr int kLinks = 50000;
  std::string links;
  for (int n = 1; n <= kLinks; ++n) {
    links += "<a href=\"" + std::to_string(n) + ".html\">" + Title(n) + Gbk(" 标题") +
             std::to_string(n) + "</a>\n";
  }
  server.Serve("/big/", Gbk("<html><head><title>大书</title></head><body><div id=\"list\">") +
                            links + "</div></body></html>");
  model.SetBox(Box::Address, server.Url("/big/"));
  model.SetExecuteCaption(CaptionContents());
  model.SetOption(Option::NextPage, true);
  model.SetOption(Option::CleanDubious, true);
  model.SetOption(Option::Renumber, true);

  const auto start = Clock::now();
  ASSERT_TRUE(ExecuteCommand(app));
  const auto took = Since(start);
  std::printf("%d links: %.2f s\n", kLinks, took.count());
  EXPECT_LT(took, 60s);

  ASSERT_EQ(app.chapters.Size(), static_cast<std::size_t>(kLinks));
  const auto items = model.ListItems();
  ASSERT_EQ(items.size(), static_cast<std::size_t>(kLinks));
  for (int n = 1; n <= kLinks; ++n) {
    const ChapterEntry& e = app.chapters[static_cast<std::size_t>(n - 1)];
    const std::string title = Title(n) + Gbk(" 标题") + std::to_string(n);
    ASSERT_EQ(e.url, server.Url("/big/" + std::to_string(n) + ".html")) << n;
    ASSERT_EQ(e.title, title) << n;
    ASSERT_EQ(items[static_cast<std::size_t>(n - 1)], title) << n;
  }
  EXPECT_EQ(model.ExecuteCaption(), CaptionChapters());
}

class ShortRegexTimeLimit {
 public:
  explicit ShortRegexTimeLimit(int ms) : m_previous(Regex::TimeLimitMs()) {
    Regex::SetTimeLimitMs(ms);
  }
  ~ShortRegexTimeLimit() { Regex::SetTimeLimitMs(m_previous); }
  ShortRegexTimeLimit(const ShortRegexTimeLimit&) = delete;
  ShortRegexTimeLimit& operator=(const ShortRegexTimeLimit&) = delete;

 private:
  int m_previous;
};

TEST_F(BigPages, RunawayCleanRuleIsSkippedOnlyWhereItRunsAway) {
  ShortRegexTimeLimit limit(100);
  app.rules.Replace({"(a+)+b", Gbk("本站广告")});
  const auto page = [](const std::string& body) {
    return "<html><head><title>x</title></head><body><div id=\"content\">" + body +
           "</div></body></html>";
  };
  // A megabyte of "a" that no "b" follows sends the first rule into endless
  // backtracking; the "aab" at the end would match if it ever got there.
  const std::string runs(kMiB, 'a');
  server.Serve("/rules/2.html", page(Gbk("第一行<br />第二行<br />第三行<br />") + runs +
                                     Gbk("c<br />本站广告结尾<br />aab")));
  server.Serve("/rules/3.html", page(Gbk("甲<br />乙aab<br />丙<br />本站广告丁<br />戊")));
  AddChapter(Title(1), ChapterUrl(1));
  AddChapter(Title(2), server.Url("/rules/2.html"));
  AddChapter(Title(3), server.Url("/rules/3.html"));
  AddChapter(Title(4), ChapterUrl(4));

  const auto start = Clock::now();
  ASSERT_TRUE(DownloadChapters(app, 0));
  const auto took = Since(start);
  std::printf("runaway rule on 1 MiB: %.2f s\n", took.count());
  EXPECT_LT(took, 20s);
  EXPECT_EQ(app.chapters[1].text,
            Gbk("第一行\r\n第二行\r\n第三行\r\n") + runs + Gbk("c\r\n结尾\r\naab\r\n"));
  EXPECT_EQ(app.chapters[2].text, Gbk("甲\r\n乙\r\n丙\r\n丁\r\n戊\r\n"));
  EXPECT_EQ(app.chapters[0].text, ChapterText(1));
  EXPECT_EQ(app.chapters[3].text, ChapterText(4));
  EXPECT_EQ(Book(), BookOf(app.chapters));
  // The user is told which rule was skipped.
  const std::string log = GbkToUtf8(app.log.Text());
  EXPECT_NE(log.find("清除规则超时，已跳过：(a+)+b"), std::string::npos) << log;
}

}  // namespace
}  // namespace tarnlow::faults

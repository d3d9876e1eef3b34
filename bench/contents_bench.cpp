// A contents page of 10,000 chapter links (about 1 MB): link extraction,
// duplicate removal and dubious cleaning, as one contents run does them.

#include <string>

#include <benchmark/benchmark.h>

#include "contents/links.h"
#include "text/codepage.h"

namespace {

using namespace tarnlow;

std::string ContentsPage(int links) {
  std::string page = Utf8ToAnsi(
      "<html><head><title>某书最新章节</title></head><body><div class=\"nav\">"
      "<a href=\"/\">首页</a><a href=\"/sort/1.html\">玄幻小说</a></div>"
      "<div id=\"list\"><dl><dt>最新章节</dt>");
  // The newest chapters repeated at the top, as many sites do.
  for (int i = links - 12; i < links; ++i) {
    page += "<dd><a href=\"/book/12345/" + std::to_string(1000000 + i) + ".html\" title=\"x\">" +
            Utf8ToAnsi("第") + std::to_string(i + 1) + Utf8ToAnsi("章 风起云涌之时&hellip;") +
            "</a></dd>\r\n";
  }
  page += Utf8ToAnsi("<dt>正文</dt>");
  for (int i = 0; i < links; ++i) {
    page += "<dd><a href=\"/book/12345/" + std::to_string(1000000 + i) + ".html\" title=\"x\">" +
            Utf8ToAnsi("第") + std::to_string(i + 1) + Utf8ToAnsi("章 风起云涌之时&hellip;") +
            "</a></dd>\r\n";
  }
  page += "</dl></div><div class=\"foot\"><a href=\"/about.html\">about</a></div></body></html>";
  return page;
}

void BM_ContentsLinks(benchmark::State& state) {
  const std::string page = ContentsPage(static_cast<int>(state.range(0)));
  const std::string address = "http://www.book.com/book/12345/";
  std::size_t kept = 0;
  for (auto _ : state) {
    std::vector<ChapterEntry> entries = ExtractLinks(page, address);
    RemoveDuplicateUrls(entries);
    CleanDubiousLinks(entries, Utf8ToAnsi("第"));
    kept = entries.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["chapters"] = static_cast<double>(kept);
  state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_ContentsLinks)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

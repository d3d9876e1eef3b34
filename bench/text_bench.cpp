// Throughput of the text layer on a 1 MiB GBK chapter page: the finds and
// replacements of page clean-up, TextBetween, the code-page conversions and
// the clean-up rules' regular expressions.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "text/codepage.h"
#include "text/regex.h"
#include "text/text.h"
#include "text/text_buffer.h"

namespace {

using tarnlow::Gbk;

// A page shaped like a chapter page: a head, then paragraphs of common
// Chinese characters and full-width punctuation with entities and line-break
// tags, then the page's foot. `bytes` is the size of the body.
std::string MakePage(std::size_t bytes) {
  static const std::u16string kChars =
      u"的一是了我不人在他有这个上们来到时大地为子中你说生国年着就那和要她出也得里后自以会家可下"
      u"而过天去能对小多然于心学么之都好看起发当没成只如事把还用第样道想作种开美总从无情己面最女";
  std::mt19937 random(20240611);
  std::u16string body;
  while (body.size() * 2 < bytes) {
    const unsigned roll = random() % 100;
    if (roll < 4) {
      body += u"，";
    } else if (roll < 5) {
      body += u"。&nbsp;&nbsp;<br /><br />";
    } else if (roll < 6) {
      body += u"“";
    } else if (roll < 7) {
      body += u"”";
    } else {
      body += kChars[random() % kChars.size()];
    }
  }
  return "<html><head><meta charset=\"gbk\"><title>" + Gbk<"第一章 开端">() +
         "</title></head><body><div id=\"content\">" + tarnlow::Utf16ToGbk(body) +
         "</div><div class=\"footer\">" + Gbk<"本站首发">() + "</div></body></html>";
}

const std::string& Page() {
  static const std::string page = MakePage(1 << 20);
  return page;
}

const std::string& SmallPage() {
  static const std::string page = MakePage(30 * 1024);
  return page;
}

void SetBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_FindNearEnd(benchmark::State& state) {
  const std::string& page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::Find(page, "<div class=\"footer\">"));
  SetBytes(state, Page().size());
}
BENCHMARK(BM_FindNearEnd);

void BM_FindNearEndIgnoringCase(benchmark::State& state) {
  const std::string& page = Page();
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarnlow::Find(page, "<DIV CLASS=\"footer\">", 0, true));
  }
  SetBytes(state, Page().size());
}
BENCHMARK(BM_FindNearEndIgnoringCase);

// The worst case of the double-byte walk: a Chinese mark that is absent, so
// every byte-level hit lies across two characters and must be rejected.
void BM_FindAbsentChineseMark(benchmark::State& state) {
  const std::string& page = Page();
  const std::string mark = Gbk<"目录">();
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::Find(page, mark));
  SetBytes(state, Page().size());
}
BENCHMARK(BM_FindAbsentChineseMark);

// Adversarial: in a run of 啊 (B0 A1) the mark “ (A1 B0) occurs at every
// second byte, always across two characters.
void BM_FindAdversarialTrailHits(benchmark::State& state) {
  std::string text;
  while (text.size() < (1u << 20)) text += Gbk<"啊">();
  const std::string mark = Gbk<"“">();
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::Find(text, mark));
  SetBytes(state, text.size());
}
BENCHMARK(BM_FindAdversarialTrailHits);

void BM_FindLastOfATag(benchmark::State& state) {
  const std::string& page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::FindLast(page, "<br />"));
  SetBytes(state, Page().size());
}
BENCHMARK(BM_FindLastOfATag);

void BM_ReplaceAllEntities(benchmark::State& state) {
  int replaced = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tarnlow::TextBuffer buffer(Page());
    state.ResumeTiming();
    replaced = buffer.ReplaceAll("&nbsp;", " ");
    benchmark::DoNotOptimize(buffer.Text().data());
  }
  state.counters["hits"] = replaced;
  SetBytes(state, Page().size());
}
BENCHMARK(BM_ReplaceAllEntities);

void BM_ReplaceAllLineBreaksIgnoringCase(benchmark::State& state) {
  int replaced = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tarnlow::TextBuffer buffer(Page());
    state.ResumeTiming();
    replaced = buffer.ReplaceAll("<BR />", "\r\n", 1, -1, false);
    benchmark::DoNotOptimize(buffer.Text().data());
  }
  state.counters["hits"] = replaced;
  SetBytes(state, Page().size());
}
BENCHMARK(BM_ReplaceAllLineBreaksIgnoringCase);

void BM_TextBetweenContent(benchmark::State& state) {
  const std::string& page = Page();
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarnlow::TextBetween(page, "<div id=\"content\">", "</div>"));
  }
  SetBytes(state, Page().size());
}
BENCHMARK(BM_TextBetweenContent);

void BM_TextBetweenContentStripped(benchmark::State& state) {
  const std::string& page = Page();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        tarnlow::TextBetween(page, "<div id=\"content\">", "</div>", 0, false, true));
  }
  SetBytes(state, Page().size());
}
BENCHMARK(BM_TextBetweenContentStripped);

void BM_GbkToUtf16(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::GbkToUtf16(Page()));
  SetBytes(state, Page().size());
}
BENCHMARK(BM_GbkToUtf16);

// The form Regex uses: every UTF-16 unit mapped back to its GBK byte.
void BM_GbkToUtf16WithOffsets(benchmark::State& state) {
  std::vector<int> offsets;
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::GbkToUtf16(Page(), offsets));
  SetBytes(state, Page().size());
}
BENCHMARK(BM_GbkToUtf16WithOffsets);

void BM_Utf16ToGbk(benchmark::State& state) {
  const std::u16string units = tarnlow::GbkToUtf16(Page());
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::Utf16ToGbk(units));
  SetBytes(state, Page().size());
}
BENCHMARK(BM_Utf16ToGbk);

void BM_Utf8ToAnsi(benchmark::State& state) {
  const std::string utf8 = tarnlow::GbkToUtf8(Page());
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::Utf8ToAnsi(utf8));
  SetBytes(state, utf8.size());
}
BENCHMARK(BM_Utf8ToAnsi);

// A clean-up rule as the chapter job runs it: compile, then one Replace
// (conversion to UTF-16 and back included). Argument 0 is the 30 KB page,
// 1 the 1 MiB one.
void RunRule(benchmark::State& state, const std::string& rule) {
  const std::string& page = state.range(0) == 0 ? SmallPage() : Page();
  bool timedOut = false;
  for (auto _ : state) {
    tarnlow::Regex re;
    re.Compile(rule);
    benchmark::DoNotOptimize(re.Replace(page, ""));
    timedOut = timedOut || re.TimedOut();
  }
  if (timedOut) state.SkipWithError("the rule ran out of time");
  SetBytes(state, page.size());
}

void BM_RulePlainPhrase(benchmark::State& state) { RunRule(state, Gbk<"本站首发">()); }
BENCHMARK(BM_RulePlainPhrase)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_RuleLazyWildcard(benchmark::State& state) { RunRule(state, Gbk<"“.*?”">()); }
BENCHMARK(BM_RuleLazyWildcard)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_RegexSearchPageHead(benchmark::State& state) {
  const std::string head = Page().substr(0, Page().find("</head>"));
  tarnlow::Regex re;
  re.Compile("=.*[uUtTfF]-?[8]");
  for (auto _ : state) benchmark::DoNotOptimize(re.Search(head).Matched());
}
BENCHMARK(BM_RegexSearchPageHead)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

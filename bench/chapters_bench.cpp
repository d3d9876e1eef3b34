// Cutting a chapter out of a 30 KB chapter page and finishing it with ten
// clean rules, as every chapter of a run goes through it; the body finder on
// the same page; the page with the shipped rule set.

#include <string>

#include <benchmark/benchmark.h>

#include "chapters/auto_text.h"
#include "chapters/clean_rules.h"
#include "chapters/extraction.h"
#include "text/codepage.h"

namespace {

using namespace tarnlow;

std::string ChapterPage() {
  const std::string line = Utf8ToAnsi(
      "&nbsp;&nbsp;&nbsp;&nbsp;他站在城墙上望着远方，风把旗帜吹得猎猎作响，谁也不知道明天会怎样。"
      "<br /><br />");
  std::string body;
  while (body.size() < 30000) body += line;
  body += Utf8ToAnsi("本站域名：www.example.cn，请收藏！<br /><br />");
  return Utf8ToAnsi(
             "<html><head><title>第一章</title></head><body><div class=\"nav\"><a "
             "href=\"/\">首页</a></div><div id=\"content\">") +
         body + "</div><div><a href=\"/next.html\">next</a></div></body></html>";
}

CleanRules::List TenRules() {
  CleanRules::List rules;
  for (const char* rule :
       {"本站域名：.*?请收藏！", "手机阅读", "最新章节", "天才一秒记住.*?地址", "求月票",
        "（本章完）", "\\(未完待续.*?\\)", "笔趣阁", "www\\.[a-z]+\\.com", "章节错误,点此举报"}) {
    rules.push_back(Utf8ToAnsi(rule));
  }
  return rules;
}

void BM_ChapterWithTenRules(benchmark::State& state) {
  const std::string page = ChapterPage();
  const CleanRuleSet rules(TenRules());
  const TextOptions options{0, &rules};
  std::size_t length = 0;
  for (auto _ : state) {
    length = ExtractChapterText(page, "", "", options).size();
    benchmark::DoNotOptimize(length);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
  state.counters["page_bytes"] = static_cast<double>(page.size());
  state.counters["text_bytes"] = static_cast<double>(length);
}
BENCHMARK(BM_ChapterWithTenRules)->Unit(benchmark::kMicrosecond);

// The body finder that stands in when a page has no break run or paragraph
// block the built-in search can use.
void BM_FindChapterBody(benchmark::State& state) {
  const std::string page = ChapterPage();
  std::size_t length = 0;
  for (auto _ : state) {
    length = FindChapterBody(page).fragment.size();
    benchmark::DoNotOptimize(length);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
  state.counters["fragment_bytes"] = static_cast<double>(length);
}
BENCHMARK(BM_FindChapterBody)->Unit(benchmark::kMicrosecond);

// The page with the rule set the program ships, the body found by itself.
void BM_ChapterWithShippedRules(benchmark::State& state) {
  CleanRules shipped;
  LoadCleanRules(shipped, TARNLOW_SHIPPED_RULES_DIR);
  const auto rules = shipped.Snapshot();
  if (rules->empty()) state.SkipWithError("no shipped rules");
  const std::string page = ChapterPage();
  const TextOptions options{0, rules.get(), true};
  for (auto _ : state) benchmark::DoNotOptimize(ExtractChapterText(page, "", "", options).size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
  state.counters["rules"] = static_cast<double>(rules->size());
}
BENCHMARK(BM_ChapterWithShippedRules)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

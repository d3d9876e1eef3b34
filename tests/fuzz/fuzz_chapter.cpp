// A chapter page from the input through the three extraction strategies, the
// body finder and FinishChapterText. Input: line mode, flags, separator, then the fields
// start mark, end mark, the clean rules (as many as flags / 2 % 4 says) and
// the page.

#include <string>
#include <string_view>

#include "chapters/auto_text.h"
#include "chapters/clean_rules.h"
#include "chapters/extraction.h"
#include "tests/fuzz/fuzz_input.h"
#include "text/regex.h"
#include "text/text.h"

namespace tarnlow::fuzz {
namespace {

// What every finished chapter looks like: empty (nothing found), or ending
// with its line break and holding no tag.
void CheckChapter(const std::string& text) {
  if (text.empty()) return;
  FUZZ_CHECK(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0);
  const int lt = Find(text, "<");
  FUZZ_CHECK(lt == -1 || Find(text, ">", lt) == -1);
}

}  // namespace
}  // namespace tarnlow::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlow;
  using namespace tarnlow::fuzz;
  LimitRuleTime(20);

  Input in(data, size);
  // Mostly 0 to 2, sometimes another number (which acts as 0).
  const int lineMode = static_cast<std::int8_t>(in.Byte()) % 4;
  const std::uint8_t flags = in.Byte();
  const char separator = static_cast<char>(in.Byte());
  const std::string_view startMark = in.Field(separator);
  const std::string_view endMark = in.Field(separator);
  CleanRules::List rules;
  for (int i = (flags >> 1) % 4; i > 0; --i) rules.emplace_back(in.Field(separator));
  const std::string_view page = in.Rest();

  const CleanRuleSet compiled(rules);
  TextOptions options;
  options.lineMode = lineMode;
  options.rules = (flags & 1) ? &compiled : nullptr;
  options.autoText = (flags & 16) != 0;

  if (!startMark.empty()) CheckChapter(ExtractBetweenMarks(page, startMark, endMark, options));
  CheckChapter(ExtractByBreakRun(page, options));
  CheckChapter(ExtractByParagraphs(page, options));
  const std::string finished = FinishChapterText(page, options);
  FUZZ_CHECK(!finished.empty());
  CheckChapter(finished);
  CheckChapter(ExtractChapterText(page, startMark, endMark, options));
  const FoundBody body = FindChapterBody(page);
  FUZZ_CHECK(body.fragment.empty() == (body.textBytes == 0));
  if (!body.fragment.empty()) CheckChapter(FinishChapterText(body.fragment, options));
  return 0;
}

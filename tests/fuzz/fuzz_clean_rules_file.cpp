// cleantxt.list from the input: the rules it yields, and those rules applied
// to a chapter. Rules only ever delete, so the chapter can only lose bytes.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "chapters/clean_rules.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/reference_text.h"
#include "text/codepage.h"
#include "text/regex.h"

namespace tarnlow::fuzz {
namespace {

const std::string& Chapter() {
  static const std::string text = Utf8ToAnsi(
      "<div id=\"content\">第一章 雨夜\r\n"
      "　　雨下了一整夜，河面上漂着灯。<br />\r\n"
      "　　“你来了。”她说。&nbsp;本站网址 www.example.cn 请收藏<br />\r\n"
      "　　Tom 点点头，把伞收起。(未完待续)\r\n</div>");
  return text;
}

bool IsSubsequence(std::string_view part, std::string_view whole) {
  std::size_t i = 0;
  for (char c : whole) {
    if (i < part.size() && part[i] == c) ++i;
  }
  return i == part.size();
}

}  // namespace
}  // namespace tarnlow::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlow;
  using namespace tarnlow::fuzz;
  LimitRuleTime(20);

  const std::string_view file(reinterpret_cast<const char*>(data), size);
  ScratchDir::WriteFile("cleantxt.list", file);
  CleanRules rules;
  LoadCleanRules(rules, ScratchDir::Path());
  const auto list = rules.Snapshot();

  // The lines of the file up to its first zero byte, split at CR LF, without
  // empty lines and comments.
  CleanRules::List expected;
  for (std::string& line : RefSplit(file.substr(0, file.find('\0')), "\r\n", -1)) {
    if (!line.empty() && line.compare(0, 2, "//") != 0) expected.push_back(line);
  }
  FUZZ_CHECK(*list == expected);

  // Every rule may take the whole time limit: a few are enough to apply.
  const CleanRules::List some(list->begin(),
                              list->begin() + std::min<std::ptrdiff_t>(16, std::ssize(*list)));
  SkippedRules skipped;
  const std::string cleaned = ApplyCleanRules(CleanRuleSet(some), Chapter(), &skipped);
  FUZZ_CHECK(IsSubsequence(cleaned, Chapter()));

  // Applied together, the rules give what each gives in turn on the text the
  // ones before it left, unless a time limit cut either way short.
  std::string inTurn = Chapter();
  std::size_t uncompiled = 0;
  bool timedOut = false;
  for (const std::string& rule : some) {
    Regex regex;
    if (!regex.Compile(rule)) {
      ++uncompiled;
      continue;
    }
    inTurn = regex.Replace(inTurn, "");
    timedOut |= regex.TimedOut();
  }
  if (!timedOut && skipped.Rules().size() == uncompiled) FUZZ_CHECK(cleaned == inTurn);
  return 0;
}

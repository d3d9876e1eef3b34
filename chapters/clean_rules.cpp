#include "chapters/clean_rules.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/files.h"
#include "text/text.h"

namespace tarnlow {

void LoadCleanRules(CleanRules& rules, const std::filesystem::path& dir) {
  const std::string bytes = ReadTextFile(dir / "cleantxt.list");
  CleanRules::List list;
  for (std::string& piece : Split(bytes, "\r\n")) {
    if (piece.empty() || std::string_view(piece).starts_with("//")) continue;
    list.push_back(std::move(piece));
  }
  rules.Replace(std::move(list));
}

std::string ApplyCleanRules(const CleanRuleSet& rules, std::string text, SkippedRules* skipped) {
  if (rules.empty()) return text;
  RegexSubject subject(std::move(text));
  for (std::size_t i = 0; i < rules.size(); ++i) {
    // An empty rule cannot come from the file; it is skipped without a word.
    if (rules[i].empty()) continue;
    const RegexPattern* pattern = rules.Pattern(i);
    // A rule that gave up on its time limit leaves the text as it was.
    if (pattern == nullptr || !subject.DeleteMatches(*pattern)) {
      if (skipped != nullptr) skipped->Add(i);
    }
  }
  return subject.TakeText();
}

std::string ApplyCleanRules(const CleanRuleTexts& rules, std::string text) {
  return ApplyCleanRules(CleanRuleSet(rules), std::move(text));
}

}  // namespace tarnlow

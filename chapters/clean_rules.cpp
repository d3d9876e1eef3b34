#include "chapters/clean_rules.h"

#include <string_view>
#include <utility>

#include "app/files.h"
#include "text/regex.h"
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

std::string ApplyCleanRules(const CleanRules::List& rules, std::string text) {
  for (const std::string& rule : rules) {
    if (rule.empty()) continue;
    Regex regex;
    if (!regex.Compile(rule, 0, false)) continue;
    std::string cleaned = regex.Replace(text, "");
    // A rule that gave up on its time limit leaves the text as it was.
    if (regex.TimedOut()) continue;
    text = std::move(cleaned);
  }
  return text;
}

}  // namespace tarnlow

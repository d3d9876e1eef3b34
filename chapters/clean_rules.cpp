#include "chapters/clean_rules.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/app.h"
#include "app/files.h"
#include "app/run_log.h"
#include "text/codepage.h"
#include "text/regex.h"
#include "text/text.h"

namespace tarnlow {

namespace {
constexpr const char* kRulesFileName = "cleantxt.list";
}

std::string LoadCleanRules(CleanRules& rules, const std::filesystem::path& dir) {
  const FileBytes file = ReadFileBytes(dir / kRulesFileName);
  std::string_view bytes = file.bytes;
  bytes = bytes.substr(0, bytes.find('\0'));
  CleanRules::List list;
  for (std::string& piece : Split(bytes, "\r\n")) {
    if (piece.empty() || std::string_view(piece).starts_with("//")) continue;
    list.push_back(std::move(piece));
  }
  rules.Replace(std::move(list));
  if (file.state != FileBytes::State::Failed) return {};
  return UnreadableFileNotice(kRulesFileName, file.error);
}

void LoadCleanRules(App& app) {
  const std::string notice = LoadCleanRules(app.rules, app.programDir);
  if (!notice.empty()) AddNotice(app, notice);
}

namespace {

// Applies the set once; `skipped(i)` for each rule that does not compile or
// gave up on its time limit (leaving the text as it was).
template <typename OnSkip>
std::string ApplyRuleSet(const CleanRuleSet& rules, std::string text, OnSkip&& skipped) {
  if (rules.empty()) return text;
  RegexSubject subject(std::move(text));
  for (std::size_t i = 0; i < rules.size(); ++i) {
    // An empty rule cannot come from the file; it is skipped without a word.
    if (rules[i].empty()) continue;
    const RegexPattern* pattern = rules.Pattern(i);
    if (pattern == nullptr || !subject.DeleteMatches(*pattern)) skipped(i, pattern == nullptr);
  }
  return subject.TakeText();
}

}  // namespace

std::string ApplyCleanRules(const CleanRuleSet& rules, std::string text, SkippedRules* skipped) {
  return ApplyRuleSet(rules, std::move(text), [skipped](std::size_t i, bool) {
    if (skipped != nullptr) skipped->Add(i);
  });
}

std::string ApplyCleanRules(const CleanRuleSet& rules, std::string text,
                            const RuleFaultHandler& onFault) {
  return ApplyRuleSet(rules, std::move(text), [&](std::size_t i, bool uncompiled) {
    if (onFault) onFault(rules[i], uncompiled ? RuleFault::DoesNotCompile : RuleFault::TimedOut);
  });
}

std::string ApplyCleanRules(const CleanRuleTexts& rules, std::string text) {
  return ApplyCleanRules(CleanRuleSet(rules), std::move(text));
}

void RuleFaultNotices::operator()(const std::string& rule, RuleFault fault) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_named.insert(rule).second) return;
  }
  AddNotice(m_app, (fault == RuleFault::DoesNotCompile ? Gbk<"清除规则有误，已跳过：">()
                                                       : Gbk<"清除规则超时，已跳过：">()) +
                       rule);
}

void RuleFaultNotices::CheckCompile(const CleanRuleSet& rules) {
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (!rules[i].empty() && rules.Pattern(i) == nullptr) (*this)(rules[i], RuleFault::DoesNotCompile);
  }
}

}  // namespace tarnlow

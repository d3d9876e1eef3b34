#include "chapters/clean_rules.h"

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

std::string ApplyCleanRules(const CleanRules::List& rules, std::string text,
                            const RuleFaultHandler& onFault) {
  for (const std::string& rule : rules) {
    if (rule.empty()) continue;
    Regex regex;
    if (!regex.Compile(rule, 0, false)) {
      if (onFault) onFault(rule, RuleFault::DoesNotCompile);
      continue;
    }
    std::string cleaned = regex.Replace(text, "");
    // A rule that gave up on its time limit leaves the text as it was.
    if (regex.TimedOut()) {
      if (onFault) onFault(rule, RuleFault::TimedOut);
      continue;
    }
    text = std::move(cleaned);
  }
  return text;
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

void RuleFaultNotices::CheckCompile(const CleanRules::List& rules) {
  for (const std::string& rule : rules) {
    Regex regex;
    if (!rule.empty() && !regex.Compile(rule, 0, false)) (*this)(rule, RuleFault::DoesNotCompile);
  }
}

}  // namespace tarnlow

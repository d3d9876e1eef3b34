#pragma once
// The user's clean-up rules (cleantxt.list): every match of every rule is
// deleted from each chapter before its markup is stripped.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/clean_rule_set.h"

namespace tarnlow {

struct App;

// Reads `dir`/cleantxt.list (GBK, "\r\n" lines; "//" comments and empty lines
// skipped) into `rules`. A file that cannot be read (a folder, no permission)
// counts as missing; the result is then the line that says so (GBK), and
// empty otherwise.
std::string LoadCleanRules(CleanRules& rules, const std::filesystem::path& dir);
// The program's rules from its program directory; an unreadable file is
// noticed (AddNotice).
void LoadCleanRules(App& app);

enum class RuleFault { DoesNotCompile, TimedOut };
// Told about every rule that was skipped, with the reason; may run on
// several threads at once.
using RuleFaultHandler = std::function<void(const std::string& rule, RuleFault fault)>;

// Applies every rule in order; a rule that does not compile or runs out of
// time is skipped (and noted in `skipped` when given). The chapter is
// converted for matching once, not once per rule.
std::string ApplyCleanRules(const CleanRuleSet& rules, std::string text,
                            SkippedRules* skipped = nullptr);
// The same, telling `onFault` of each rule skipped.
std::string ApplyCleanRules(const CleanRuleSet& rules, std::string text,
                            const RuleFaultHandler& onFault);
// The same for rules not compiled yet: each is compiled for this call.
std::string ApplyCleanRules(const CleanRuleTexts& rules, std::string text);

// Names each skipped rule once (AddNotice), however many chapters skip it:
// one per run of a command.
class RuleFaultNotices {
 public:
  explicit RuleFaultNotices(App& app) : m_app(app) {}
  void operator()(const std::string& rule, RuleFault fault);
  // Names the rules that do not compile, so the user hears of them before
  // the first chapter.
  void CheckCompile(const CleanRuleSet& rules);

 private:
  App& m_app;
  std::mutex m_mutex;
  std::set<std::string> m_named;
};

}  // namespace tarnlow

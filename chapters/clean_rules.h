#pragma once
// The user's clean-up rules (cleantxt.list): every match of every rule is
// deleted from each chapter before its markup is stripped.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/clean_rule_set.h"

namespace tarnlow {

// Reads `dir`/cleantxt.list (GBK, "\r\n" lines; "//" comments and empty lines
// skipped) into `rules`.
void LoadCleanRules(CleanRules& rules, const std::filesystem::path& dir);

// Applies every rule in order; a rule that does not compile or runs out of
// time is skipped (and noted in `skipped` when given). The chapter is
// converted for matching once, not once per rule.
std::string ApplyCleanRules(const CleanRuleSet& rules, std::string text,
                            SkippedRules* skipped = nullptr);
// The same for rules not compiled yet: each is compiled for this call.
std::string ApplyCleanRules(const CleanRuleTexts& rules, std::string text);

}  // namespace tarnlow

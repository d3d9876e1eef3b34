#pragma once
// The user's clean-up rules (cleantxt.list): every match of every rule is
// deleted from each chapter before its markup is stripped.

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/records.h"

namespace tarnlow {

// Reads `dir`/cleantxt.list (GBK, "\r\n" lines; "//" comments and empty lines
// skipped) into `rules`.
void LoadCleanRules(CleanRules& rules, const std::filesystem::path& dir);

// Applies every rule in order; a rule that does not compile or runs out of
// time is skipped.
std::string ApplyCleanRules(const CleanRules::List& rules, std::string text);

}  // namespace tarnlow

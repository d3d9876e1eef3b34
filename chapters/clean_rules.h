#pragma once
// The user's clean-up rules (cleantxt.list): every match of every rule is
// deleted from each chapter before its markup is stripped.

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarnlow {

// The rule list is immutable once built and replaced as a whole, so a worker
// keeps the list it started with while the user saves a new one.
class CleanRules {
 public:
  using List = std::vector<std::string>;

  std::shared_ptr<const List> Snapshot() const;
  void Replace(List rules);

 private:
  mutable std::mutex m_mutex;
  std::shared_ptr<const List> m_list = std::make_shared<const List>();
};

// Reads `dir`/cleantxt.list (GBK, "\r\n" lines; "//" comments and empty lines
// skipped) into `rules`.
void LoadCleanRules(CleanRules& rules, const std::filesystem::path& dir);

// Applies every rule in order; a rule that does not compile or runs out of
// time is skipped.
std::string ApplyCleanRules(const CleanRules::List& rules, std::string text);

}  // namespace tarnlow

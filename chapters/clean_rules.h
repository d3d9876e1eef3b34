#pragma once
// The user's clean-up rules (cleantxt.list): every match of every rule is
// deleted from each chapter before its markup is stripped.

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/records.h"

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
// time is skipped (and `onFault` told).
std::string ApplyCleanRules(const CleanRules::List& rules, std::string text,
                            const RuleFaultHandler& onFault = {});

// Names each skipped rule once (AddNotice), however many chapters skip it:
// one per run of a command.
class RuleFaultNotices {
 public:
  explicit RuleFaultNotices(App& app) : m_app(app) {}
  void operator()(const std::string& rule, RuleFault fault);
  // Compiles every rule once and names those that do not compile, so the
  // user hears of them before the first chapter.
  void CheckCompile(const CleanRules::List& rules);

 private:
  App& m_app;
  std::mutex m_mutex;
  std::set<std::string> m_named;
};

}  // namespace tarnlow

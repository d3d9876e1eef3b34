#include "tests/chapters/shipped_rules.h"

#include <string>

#include "tests/support/support.h"
#include "text/codepage.h"

namespace tarnlow::test {

std::shared_ptr<const CleanRuleSet> ShippedRules() {
  const std::string utf8 = ReadFile(TARNLOW_DATA_DIR "/cleantxt.list.utf8").value_or("");
  std::string file;
  for (const char c : Utf8ToAnsi(utf8)) file += c == '\n' ? std::string("\r\n") : std::string(1, c);
  TempDir dir;
  dir.Write("cleantxt.list", file);
  CleanRules rules;
  LoadCleanRules(rules, dir.Path());
  return rules.Snapshot();
}

}  // namespace tarnlow::test

#pragma once
// The title clean-up done literally, to compare the real, linear one against:
// after every deletion the search starts again from the beginning, through
// Find and its double-byte rule. Quadratic: for short texts only.

#include <string>

#include "text/text.h"

namespace tarnlow::test {

// `deletions`, when given, counts the runs and tags deleted.
inline std::string LiteralCleanTitle(std::string t, int* deletions = nullptr) {
  int pos = 1;
  for (;;) {
    const int p = Find(t, "&", pos);
    if (p == -1) break;
    const int s = Find(t, ";", p + 2);
    if (s == -1) break;
    if (s <= p + 8) {
      t.erase(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(s - p + 1));
      if (deletions != nullptr) ++*deletions;
      pos = 1;
    } else {
      pos = p + 2;
    }
  }
  for (;;) {
    const int lt = Find(t, "<");
    if (lt == -1) break;
    const int gt = Find(t, ">", lt);
    if (gt == -1) break;
    t.erase(static_cast<std::size_t>(lt - 1), static_cast<std::size_t>(gt - lt + 1));
    if (deletions != nullptr) ++*deletions;
  }
  return Trim(t);
}

}  // namespace tarnlow::test

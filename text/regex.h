#pragma once
// Perl-style regular expressions over GBK text, matched on UTF-16 characters.
// Every search and replace is bounded in time: one that gives up counts as
// no match (search) or leaves the text unchanged (replace).

#include <memory>
#include <string>
#include <string_view>

namespace tarnlow {

class RegexMatch {
 public:
  RegexMatch() = default;
  RegexMatch(int start, int length) : m_start(start), m_length(length) {}
  bool Matched() const { return m_start >= 0; }
  // 0-based byte index of the whole match in the searched text, -1 when none.
  int MatchStart() const { return m_start; }
  int MatchLength() const { return m_length; }

 private:
  int m_start = -1;
  int m_length = 0;
};

class Regex {
 public:
  Regex();
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  // Compile flags, to be or-ed. 0 (what the program's rules use) is
  // case-sensitive, "." does not match LF, "^" and "$" only at the very ends.
  static constexpr int kIgnoreCase = 1;
  static constexpr int kMultiline = 2;  // "^" and "$" also at line feeds
  static constexpr int kDotAll = 4;     // "." also matches LF

  // With escapes, #换行符 #引号 #左引号 #右引号 are replaced before compiling.
  // Resets the search position. A pattern that does not compile gives false;
  // searches then find nothing and Replace gives the empty text.
  bool Compile(std::string_view pattern, int flags = 0, bool escapes = false);

  // From the beginning of `text`.
  RegexMatch Search(std::string_view text);
  // start >= 0: from that 0-based byte index; start < 0: continue after the
  // previous match of this Regex (nothing after a failed search, until the
  // next Compile). After an empty match, continuing skips an empty match at
  // the same place.
  RegexMatch Search(std::string_view text, int start);

  // Replaces up to `count` matches (-1: all) from the 0-based byte index
  // `start` (-1: beginning). `replacement` is literal ("$1" stays "$1"). Text
  // outside the matches is kept byte for byte. Returns the empty text when
  // the pattern did not compile; the unchanged text when the time limit ran
  // out. Does not move the search position.
  std::string Replace(std::string_view text, std::string_view replacement, int start = -1,
                      int count = -1);

  // Whether the last Search or Replace gave up on its time limit (or on the
  // engine's memory limits).
  bool TimedOut() const;

  // Time budget of one Search or Replace, in milliseconds (process-wide;
  // 1500 unless set).
  static void SetTimeLimitMs(int ms);
  static int TimeLimitMs();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace tarnlow

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

  // flags 0: case-sensitive, "." does not match LF, "^"/"$" only at the ends.
  // With escapes, #换行符 #引号 #左引号 #右引号 are replaced before compiling.
  // Resets the search position.
  bool Compile(std::string_view pattern, int flags = 0, bool escapes = false);

  // From the beginning of `text`.
  RegexMatch Search(std::string_view text);
  // start >= 0: from that 0-based byte index; start < 0: continue after the
  // previous match of this Regex (nothing after a failed search).
  RegexMatch Search(std::string_view text, int start);

  // Replaces up to `count` matches (-1: all) from `start` (-1: beginning).
  // Returns the empty text when the pattern did not compile; the unchanged
  // text when the time limit ran out.
  std::string Replace(std::string_view text, std::string_view replacement,
                      int start = -1, int count = -1);

  // Whether the last Search or Replace gave up on its time limit.
  bool TimedOut() const;

  // Time budget of one Search or Replace, in milliseconds (process-wide).
  static void SetTimeLimitMs(int ms);
  static int TimeLimitMs();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace tarnlow

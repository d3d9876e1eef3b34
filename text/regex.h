#pragma once
// Perl-style regular expressions over GBK text, matched on UTF-16 characters.
// Every search and replace is bounded in time: one that gives up counts as
// no match (search) or leaves the text unchanged (replace).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// A compiled pattern, immutable once made: any number of threads may match
// it at once (each match brings its own per-thread match data). Compiling
// costs far more than matching, so a pattern used again and again is
// compiled once.
class RegexPattern {
 public:
  // Compile flags, to be or-ed. 0 (what the program's rules use) is
  // case-sensitive, "." does not match LF, "^" and "$" only at the very ends.
  static constexpr int kIgnoreCase = 1;
  static constexpr int kMultiline = 2;  // "^" and "$" also at line feeds
  static constexpr int kDotAll = 4;     // "." also matches LF

  // With escapes, #换行符 #引号 #左引号 #右引号 are replaced before compiling.
  // Null when the pattern does not compile.
  static std::shared_ptr<const RegexPattern> Compile(std::string_view pattern, int flags = 0,
                                                     bool escapes = false);

  ~RegexPattern();
  RegexPattern(const RegexPattern&) = delete;
  RegexPattern& operator=(const RegexPattern&) = delete;

  struct Impl;

 private:
  friend class Regex;
  friend class RegexSubject;
  explicit RegexPattern(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

// A GBK text held as UTF-16 while several patterns in turn delete their
// matches from it: converted once, not once per pattern. Bytes outside the
// deleted matches stay as they were (even bytes GBK cannot decode).
class RegexSubject {
 public:
  explicit RegexSubject(std::string gbk);
  ~RegexSubject();
  RegexSubject(const RegexSubject&) = delete;
  RegexSubject& operator=(const RegexSubject&) = delete;

  // Deletes every match of the pattern from the text as it now stands.
  // False, with the text unchanged, when the time limit ran out.
  bool DeleteMatches(const RegexPattern& pattern);

  const std::string& Text() const { return m_bytes; }
  std::string TakeText() { return std::move(m_bytes); }

 private:
  void Decode();

  std::string m_bytes;
  std::u16string m_units;
  std::vector<int> m_offsets;  // byte offset of every unit's character, and the end
};

class Regex {
 public:
  Regex();
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  static constexpr int kIgnoreCase = RegexPattern::kIgnoreCase;
  static constexpr int kMultiline = RegexPattern::kMultiline;
  static constexpr int kDotAll = RegexPattern::kDotAll;

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

  // Time budget of one Search or Replace (or one DeleteMatches), in
  // milliseconds (process-wide; 1500 unless set).
  static void SetTimeLimitMs(int ms);
  static int TimeLimitMs();

 private:
  std::shared_ptr<const RegexPattern> m_pattern;
  // Where a search with a negative start continues (a GBK byte index).
  std::size_t m_resumeAt = 0;
  bool m_resumeAfterEmpty = false;
  bool m_exhausted = false;
  bool m_timedOut = false;
};

}  // namespace tarnlow

// Regex on a pattern and a text from the input. Input: flags (compile flags,
// escapes), separator, start, count, then the fields pattern, replacement
// and text.
//
// Searches and replaces must stay inside the text, continuing searches must
// move forward, and Replace must replace exactly the matches the continuing
// searches find.

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "text/codepage.h"
#include "text/regex.h"
#include "text/text.h"
#include "text/text_buffer.h"

namespace tarnlow::fuzz {
namespace {

// Bounds the continuing searches of one input: every search may take the
// whole time limit.
constexpr std::size_t kMaxMatches = 48;

bool Inside(const RegexMatch& m, std::string_view text) {
  return m.MatchStart() >= 0 && m.MatchLength() >= 0 &&
         static_cast<std::size_t>(m.MatchStart()) + static_cast<std::size_t>(m.MatchLength()) <=
             text.size();
}

void CheckUncompiled(Regex& regex, std::string_view text, std::string_view replacement) {
  FUZZ_CHECK(!regex.Search(text).Matched());
  FUZZ_CHECK(!regex.Search(text, -1).Matched());
  FUZZ_CHECK(regex.Replace(text, replacement).empty());
}

void CheckCompiled(Regex& regex, std::string_view text, std::string_view replacement, int start,
                   int count) {
  // A start past the end finds nothing and replaces nothing.
  const RegexMatch first = regex.Search(text, start < 0 ? 0 : start);
  if (first.Matched()) FUZZ_CHECK(Inside(first, text));
  const bool firstTimedOut = regex.TimedOut();
  const std::size_t from = start < 0 ? 0 : static_cast<std::size_t>(start);
  if (from > text.size()) FUZZ_CHECK(!first.Matched());

  // The matches a run of continuing searches finds, in order.
  std::vector<RegexMatch> matches;
  bool timedOut = firstTimedOut;
  if (first.Matched()) {
    matches.push_back(first);
    while (matches.size() < kMaxMatches) {
      const RegexMatch next = regex.Search(text, -1);
      timedOut |= regex.TimedOut();
      if (!next.Matched()) break;
      FUZZ_CHECK(Inside(next, text));
      const RegexMatch& before = matches.back();
      const int beforeEnd = before.MatchStart() + before.MatchLength();
      // On from the end of the last match; an empty match is not found twice.
      FUZZ_CHECK(next.MatchStart() >= beforeEnd);
      FUZZ_CHECK(!(next.MatchStart() == before.MatchStart() && next.MatchLength() == 0 &&
                   before.MatchLength() == 0));
      matches.push_back(next);
    }
    // Once exhausted, continuing finds nothing until the next Compile.
    if (matches.size() < kMaxMatches && !timedOut) FUZZ_CHECK(!regex.Search(text, -1).Matched());
  }

  const int limit = matches.size() < kMaxMatches ? -1 : static_cast<int>(kMaxMatches);
  const std::string replaced = regex.Replace(text, replacement, start, limit);
  if (!timedOut && !regex.TimedOut()) {
    // Replace walks the matches the same way the continuing searches do.
    std::string expected;
    std::size_t copied = 0;
    if (from <= text.size()) {
      for (const RegexMatch& m : matches) {
        const auto begin = static_cast<std::size_t>(m.MatchStart());
        expected.append(text.substr(copied, begin - copied));
        expected.append(replacement);
        copied = begin + static_cast<std::size_t>(m.MatchLength());
      }
    }
    expected.append(text.substr(copied));
    FUZZ_CHECK(replaced == expected);
  } else if (regex.TimedOut()) {
    FUZZ_CHECK(replaced == text);
  }

  if (count == 0) FUZZ_CHECK(regex.Replace(text, replacement, start, 0) == text);
  const std::string some = regex.Replace(text, replacement, start, count);
  if (!regex.TimedOut() && replacement.empty()) FUZZ_CHECK(some.size() <= text.size());
}

bool IsPair(std::string_view s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const auto trail = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
  return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

// Every byte of 0x80 or more starts a character the code page knows: the
// regex (on decoded characters) and Find (on the byte walk) then see the same
// characters.
bool SplitsAlike(std::string_view text) {
  for (std::size_t i = 0; i < text.size();
       i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1) {
    if (static_cast<unsigned char>(text[i]) >= 0x80 && !IsPair(text, i)) return false;
  }
  return GbkToUtf16(text).find(u'\uFFFD') == std::u16string::npos;
}

// Letters, digits, spaces and double-byte characters: a pattern that matches
// only itself.
bool IsLiteral(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const auto b = static_cast<unsigned char>(pattern[i]);
    if (b >= 0x80) {
      ++i;
    } else if (!std::isalnum(b) && b != ' ') {
      return false;
    }
  }
  return !pattern.empty() && SplitsAlike(pattern);
}

// A literal pattern finds what Find finds and replaces what ReplaceAll does:
// a check of the way match positions are carried back to bytes.
void CheckLiteral(std::string_view pattern, std::string_view text, std::string_view replacement) {
  Regex regex;
  FUZZ_CHECK(regex.Compile(pattern));
  const RegexMatch m = regex.Search(text);
  if (!regex.TimedOut()) {
    FUZZ_CHECK((m.Matched() ? m.MatchStart() + 1 : -1) == Find(text, pattern));
    if (m.Matched()) FUZZ_CHECK(m.MatchLength() == static_cast<int>(pattern.size()));
  }
  const std::string replaced = regex.Replace(text, replacement);
  if (!regex.TimedOut()) {
    TextBuffer buffer{std::string(text)};
    buffer.ReplaceAll(pattern, replacement);
    FUZZ_CHECK(replaced == buffer.Text());
  }
}

}  // namespace
}  // namespace tarnlow::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlow;
  using namespace tarnlow::fuzz;
  LimitRuleTime(50);

  Input in(data, size);
  const std::uint8_t flags = in.Byte();
  const char separator = static_cast<char>(in.Byte());
  const int start = in.Number();
  const int count = in.Number();
  const std::string_view pattern = in.Field(separator);
  const std::string_view replacement = in.Field(separator);
  const std::string_view text = in.Rest();

  if (IsLiteral(pattern) && SplitsAlike(text)) CheckLiteral(pattern, text, replacement);
  Regex regex;
  if (regex.Compile(pattern, flags & 7, flags & 8)) {
    CheckCompiled(regex, text, replacement, start, count);
  } else {
    CheckUncompiled(regex, text, replacement);
  }
  return 0;
}

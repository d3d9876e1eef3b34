#include "text/regex.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "text/codepage.h"
#include "text/text_buffer.h"

namespace tarnlow {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_timeLimitMs{1500};

// The JIT stack is per thread: a Regex is used by one thread at a time but
// may be created on another.
class JitStack {
 public:
  // Reserved, not committed: pages are touched only as deep matches need them.
  JitStack() : m_stack(pcre2_jit_stack_create(32 * 1024, 8 * 1024 * 1024, nullptr)) {}
  ~JitStack() {
    if (m_stack) pcre2_jit_stack_free(m_stack);
  }
  JitStack(const JitStack&) = delete;
  JitStack& operator=(const JitStack&) = delete;
  pcre2_jit_stack* Get() const { return m_stack; }

 private:
  pcre2_jit_stack* m_stack;
};

pcre2_jit_stack* ThreadJitStack() {
  thread_local JitStack stack;
  return stack.Get();
}

// Deadline of one Search or Replace. The pattern is compiled with automatic
// callouts, so the matcher calls back before every item; match and depth
// limits alone restart at every start position and do not bound the time.
struct Budget {
  Clock::time_point deadline;
  unsigned calls = 0;
};

int CheckBudget(pcre2_callout_block* /*block*/, void* data) {
  auto* budget = static_cast<Budget*>(data);
  // Reading the clock costs more than a callout; every 16th call is often
  // enough even when one item scans a long text between callouts.
  if ((++budget->calls & 15) == 0 && Clock::now() >= budget->deadline) return PCRE2_ERROR_CALLOUT;
  return 0;
}

// Units the matcher may see must be valid UTF-16 (matching skips the check).
// Text converted from GBK never holds surrogates; this keeps it so.
void ReplaceLoneSurrogates(std::u16string& s) {
  bool any = false;  // a branch-free pass first: surrogates are rare
  for (const char16_t c : s) any |= (c & 0xF800) == 0xD800;
  if (!any) return;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      s[i] = 0xFFFD;
    }
  }
}

std::string ApplyEscapeWords(std::string_view pattern) {
  TextBuffer buffer{std::string(pattern)};
  buffer.ReplaceAll(Gbk<"#换行符">(), "\r\n");
  buffer.ReplaceAll(Gbk<"#左引号">(), Gbk<"“">());
  buffer.ReplaceAll(Gbk<"#右引号">(), Gbk<"”">());
  buffer.ReplaceAll(Gbk<"#引号">(), "\"");
  return buffer.Text();
}

// The UTF-16 unit at which a search from GBK byte index `byte` begins: the
// first character that starts at or after it.
std::size_t UnitAt(const std::vector<int>& offsets, std::size_t byte) {
  return static_cast<std::size_t>(
      std::lower_bound(offsets.begin(), offsets.end(), static_cast<int>(byte)) - offsets.begin());
}

}  // namespace

struct Regex::Impl {
  pcre2_code* code = nullptr;
  pcre2_match_context* context = nullptr;
  pcre2_match_data* matchData = nullptr;
  bool jit = false;

  // Where a search with a negative start continues (a GBK byte index).
  std::size_t resumeAt = 0;
  bool resumeAfterEmpty = false;
  bool exhausted = false;
  bool timedOut = false;

  ~Impl() { Release(); }

  void Release() {
    pcre2_match_data_free(matchData);
    pcre2_match_context_free(context);
    pcre2_code_free(code);
    matchData = nullptr;
    context = nullptr;
    code = nullptr;
    jit = false;
  }

  // pcre2_match with the time budget. Returns the match count (> 0),
  // PCRE2_ERROR_NOMATCH, or another negative code when it gave up.
  int Match(const std::u16string& subject, std::size_t offset, uint32_t options, Budget& budget) {
    pcre2_set_callout(context, CheckBudget, &budget);
    pcre2_jit_stack_assign(context, nullptr, ThreadJitStack());
    const auto* units = reinterpret_cast<PCRE2_SPTR>(subject.data());
    options |= PCRE2_NO_UTF_CHECK;
    int rc = pcre2_match(code, units, subject.size(), offset, options, matchData, context);
    if (jit && (rc == PCRE2_ERROR_JIT_STACKLIMIT || rc == PCRE2_ERROR_MATCHLIMIT)) {
      // The interpreter keeps its frames on the heap and often rules a
      // subject out early where the JIT code grinds; the budget still holds.
      rc = pcre2_match(code, units, subject.size(), offset, options | PCRE2_NO_JIT, matchData,
                       context);
    }
    return rc;
  }

  // Whole-match span in UTF-16 units, from the last successful Match.
  std::pair<std::size_t, std::size_t> Span() const {
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(matchData);
    // \K can put the start after the end; the match is then taken as empty.
    return {std::min(ovector[0], ovector[1]), ovector[1]};
  }
};

Regex::Regex() : m_impl(std::make_unique<Impl>()) {}
Regex::~Regex() = default;

bool Regex::Compile(std::string_view pattern, int flags, bool escapes) {
  Impl& impl = *m_impl;
  impl.Release();
  impl.resumeAt = 0;
  impl.resumeAfterEmpty = false;
  impl.exhausted = false;
  impl.timedOut = false;

  std::u16string units = GbkToUtf16(escapes ? ApplyEscapeWords(pattern) : std::string(pattern));
  ReplaceLoneSurrogates(units);

  uint32_t options = PCRE2_UTF | PCRE2_AUTO_CALLOUT | PCRE2_NEVER_BACKSLASH_C;
  if (flags & kIgnoreCase) options |= PCRE2_CASELESS;
  options |= (flags & kMultiline) ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
  if (flags & kDotAll) options |= PCRE2_DOTALL;

  pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
  if (!compileContext) return false;
  // "." stops at LF only, whatever newline default the library was built with.
  pcre2_set_newline(compileContext, PCRE2_NEWLINE_LF);
  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  impl.code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(units.data()), units.size(), options,
                            &error, &errorOffset, compileContext);
  pcre2_compile_context_free(compileContext);
  if (!impl.code) return false;

  impl.jit = pcre2_jit_compile(impl.code, PCRE2_JIT_COMPLETE) == 0;
  impl.context = pcre2_match_context_create(nullptr);
  impl.matchData = pcre2_match_data_create_from_pattern(impl.code, nullptr);
  if (!impl.context || !impl.matchData) {
    impl.Release();
    return false;
  }
  // The interpreter's backtracking frames live on the heap: cap them.
  pcre2_set_heap_limit(impl.context, 128 * 1024);  // KiB
  return true;
}

RegexMatch Regex::Search(std::string_view text) { return Search(text, 0); }

RegexMatch Regex::Search(std::string_view text, int start) {
  Impl& impl = *m_impl;
  impl.timedOut = false;
  if (!impl.code) return {};
  std::size_t fromByte = static_cast<std::size_t>(start);
  uint32_t options = 0;
  if (start < 0) {
    if (impl.exhausted) return {};
    fromByte = impl.resumeAt;
    // After an empty match, continuing at the same place must not find it
    // again.
    if (impl.resumeAfterEmpty) options |= PCRE2_NOTEMPTY_ATSTART;
  }
  if (fromByte > text.size()) {
    impl.exhausted = true;
    return {};
  }

  std::vector<int> offsets;
  std::u16string units = GbkToUtf16(text, offsets);
  ReplaceLoneSurrogates(units);
  Budget budget{Clock::now() + std::chrono::milliseconds(TimeLimitMs())};
  const int rc = impl.Match(units, UnitAt(offsets, fromByte), options, budget);
  if (rc < 0) {
    impl.exhausted = true;
    impl.timedOut = rc != PCRE2_ERROR_NOMATCH;
    return {};
  }
  const auto [first, last] = impl.Span();
  impl.exhausted = false;
  impl.resumeAt = static_cast<std::size_t>(offsets[last]);
  impl.resumeAfterEmpty = first == last;
  return RegexMatch(offsets[first], offsets[last] - offsets[first]);
}

std::string Regex::Replace(std::string_view text, std::string_view replacement, int start,
                           int count) {
  Impl& impl = *m_impl;
  impl.timedOut = false;
  if (!impl.code) return {};
  const std::size_t fromByte = start < 0 ? 0 : static_cast<std::size_t>(start);
  if (count == 0 || fromByte > text.size()) return std::string(text);

  std::vector<int> offsets;
  std::u16string units = GbkToUtf16(text, offsets);
  ReplaceLoneSurrogates(units);
  Budget budget{Clock::now() + std::chrono::milliseconds(TimeLimitMs())};

  // The result is stitched from the original bytes around the matches, so
  // text between matches comes back byte for byte (even bytes GBK cannot
  // decode); the replacement is inserted literally ("$1" is not expanded).
  std::string out;
  std::size_t copied = 0;
  std::size_t at = UnitAt(offsets, fromByte);
  uint32_t options = 0;
  int done = 0;
  while (count < 0 || done < count) {
    const int rc = impl.Match(units, at, options, budget);
    if (rc == PCRE2_ERROR_NOMATCH) break;
    if (rc < 0) {
      impl.timedOut = true;
      return std::string(text);
    }
    const auto [first, last] = impl.Span();
    const auto matchBegin = std::max(copied, static_cast<std::size_t>(offsets[first]));
    out.append(text.data() + copied, matchBegin - copied);
    out.append(replacement);
    copied = static_cast<std::size_t>(offsets[last]);
    ++done;
    // After an empty match the next one must not be empty at the same place.
    options = first == last ? PCRE2_NOTEMPTY_ATSTART : 0;
    at = last;
  }
  if (done == 0) return std::string(text);
  out.append(text.data() + copied, text.size() - copied);
  return out;
}

bool Regex::TimedOut() const { return m_impl->timedOut; }

void Regex::SetTimeLimitMs(int ms) { g_timeLimitMs.store(std::max(ms, 1)); }

int Regex::TimeLimitMs() { return g_timeLimitMs.load(); }

}  // namespace tarnlow

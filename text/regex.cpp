#include "text/regex.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
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

// Work one match attempt of the fast form may do before the match is handed
// to the slow form, which checks the time at every item.
constexpr uint32_t kFastMatchLimit = 100000;
// Steps between two looks at the clock while the fast form searches: start
// positions per search times what one attempt may scan (the subject).
constexpr std::size_t kStepsBetweenChecks = std::size_t{1} << 24;
// The interpreter's backtracking frames live on the heap: cap them.
constexpr uint32_t kHeapLimitKib = 128 * 1024;
// What MatchOnce gives when the fast code hit its limits.
constexpr int kNeedSlowCode = 1 << 30;

// Deadline of one Search, Replace or DeleteMatches.
struct Budget {
  Clock::time_point deadline;
  unsigned calls = 0;
};

int CheckBudget(pcre2_callout_block* /*block*/, void* data) {
  auto* budget = static_cast<Budget*>(data);
  // Reading the clock costs more than a callout; every 16th call is often
  // enough even when one call stands for a long stretch of matching.
  if ((++budget->calls & 15) == 0 && Clock::now() >= budget->deadline) return PCRE2_ERROR_CALLOUT;
  return 0;
}

// What matching needs besides the compiled code, one set per thread: the
// patterns are shared, these are not. The JIT stack is reserved, not
// committed: pages are touched only as deep matches need them.
class Scratch {
 public:
  Scratch()
      : data(pcre2_match_data_create(1, nullptr)),
        fast(pcre2_match_context_create(nullptr)),
        slow(pcre2_match_context_create(nullptr)),
        m_stack(pcre2_jit_stack_create(32 * 1024, 8 * 1024 * 1024, nullptr)) {
    for (pcre2_match_context* context : {fast, slow}) {
      if (context == nullptr) continue;
      pcre2_set_heap_limit(context, kHeapLimitKib);
      pcre2_jit_stack_assign(context, nullptr, m_stack);
    }
    if (fast != nullptr) pcre2_set_match_limit(fast, kFastMatchLimit);
  }
  ~Scratch() {
    pcre2_match_data_free(data);
    pcre2_match_context_free(fast);
    pcre2_match_context_free(slow);
    if (m_stack) pcre2_jit_stack_free(m_stack);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  bool Ok() const { return data && fast && slow; }

  pcre2_match_data* data;  // room for the whole match only: captures are never read
  pcre2_match_context* fast;
  pcre2_match_context* slow;

 private:
  pcre2_jit_stack* m_stack;
};

Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

// Units the matcher may see must be valid UTF-16 (matching skips the check).
// Text converted from GBK never holds surrogates; this keeps it so.
void ReplaceLoneSurrogates(std::u16string& s) {
  std::size_t found = 0;  // a counting pass first (it vectorizes): surrogates are rare
  for (const char16_t c : s) found += (c & 0xF800) == 0xD800;
  if (found == 0) return;
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

std::u16string Units(std::string_view gbk, std::vector<int>& offsets) {
  std::u16string units = GbkToUtf16(gbk, offsets);
  ReplaceLoneSurrogates(units);
  return units;
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

pcre2_code* CompileUnits(std::u16string_view units, uint32_t options) {
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  if (!context) return nullptr;
  // "." stops at LF only, whatever newline default the library was built with.
  pcre2_set_newline(context, PCRE2_NEWLINE_LF);
  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(units.data()), units.size(),
                                   options, &error, &errorOffset, context);
  pcre2_compile_context_free(context);
  return code;
}

struct Span {
  std::size_t first;  // UTF-16 units
  std::size_t last;
};

}  // namespace

// Two forms of one pattern. The fast form runs without callouts: it searches
// a stretch of start positions at a time (an offset limit), the time is
// checked between stretches, and within one attempt the match limit bounds
// the work. An attempt that needs more goes to the slow form, a callout
// before every item, which holds the time limit anywhere.
struct RegexPattern::Impl {
  pcre2_code* fast = nullptr;
  std::u16string units;
  uint32_t options = 0;
  mutable std::once_flag slowOnce;
  mutable pcre2_code* slow = nullptr;
  mutable bool slowJit = false;

  ~Impl() {
    pcre2_code_free(fast);
    pcre2_code_free(slow);
  }

  // Compiled on first need: most patterns never need it.
  pcre2_code* Slow() const {
    std::call_once(slowOnce, [this] {
      slow = CompileUnits(units, options | PCRE2_AUTO_CALLOUT);
      slowJit = slow && pcre2_jit_compile(slow, PCRE2_JIT_COMPLETE) == 0;
    });
    return slow;
  }

  // One pcre2_match of the fast or the slow form with the time budget: the
  // match count (>= 0), PCRE2_ERROR_NOMATCH, kNeedSlowCode, or another
  // negative code when it gave up.
  int MatchOnce(bool useSlow, const std::u16string& subject, std::size_t offset, uint32_t flags,
                Budget& budget, Scratch& scratch) const {
    const auto* text = reinterpret_cast<PCRE2_SPTR>(subject.data());
    const std::size_t size = subject.size();
    flags |= PCRE2_NO_UTF_CHECK;
    if (!useSlow) {
      const std::size_t stretch = std::max<std::size_t>(16, kStepsBetweenChecks / (size + 1));
      for (std::size_t from = offset;;) {
        const std::size_t limit = from + stretch;
        pcre2_set_offset_limit(scratch.fast, limit);
        const int rc = pcre2_match(fast, text, size, from, flags, scratch.data, scratch.fast);
        if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_JIT_STACKLIMIT ||
            rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT) {
          return kNeedSlowCode;
        }
        if (rc != PCRE2_ERROR_NOMATCH || limit >= size) return rc;
        if (Clock::now() >= budget.deadline) return PCRE2_ERROR_CALLOUT;
        from = limit + 1;
        flags &= ~static_cast<uint32_t>(PCRE2_NOTEMPTY_ATSTART);  // it held for `offset` only
      }
    }
    pcre2_code* code = Slow();
    if (code == nullptr) return PCRE2_ERROR_NOMEMORY;
    pcre2_set_callout(scratch.slow, CheckBudget, &budget);
    int rc = pcre2_match(code, text, subject.size(), offset, flags, scratch.data, scratch.slow);
    if (slowJit && (rc == PCRE2_ERROR_JIT_STACKLIMIT || rc == PCRE2_ERROR_MATCHLIMIT)) {
      // The interpreter keeps its frames on the heap and often rules a
      // subject out early where the JIT code grinds; the budget still holds.
      rc = pcre2_match(code, text, subject.size(), offset, flags | PCRE2_NO_JIT, scratch.data,
                       scratch.slow);
    }
    return rc;
  }

  // Up to `count` (-1: all) matches from unit `from`, each search going on
  // where the one before ended, as continuing searches do. False when the
  // time ran out or the engine gave up; `spans` then means nothing.
  bool Collect(const std::u16string& subject, std::size_t from, int count, uint32_t flags,
               std::vector<Span>& spans) const {
    Scratch& scratch = ThreadScratch();
    if (!scratch.Ok()) return false;
    Budget budget{Clock::now() + std::chrono::milliseconds(Regex::TimeLimitMs())};
    for (const bool useSlow : {false, true}) {
      spans.clear();
      std::size_t at = from;
      uint32_t next = flags;
      bool needSlow = false;
      while (count < 0 || spans.size() < static_cast<std::size_t>(count)) {
        const int rc = MatchOnce(useSlow, subject, at, next, budget, scratch);
        if (rc == kNeedSlowCode) {
          needSlow = true;
          break;
        }
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) return false;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(scratch.data);
        // \K can put the start after the end; the match is then taken as empty.
        const Span span{std::min(ovector[0], ovector[1]), ovector[1]};
        spans.push_back(span);
        // After an empty match the next one must not be empty at the same place.
        next = span.first == span.last ? PCRE2_NOTEMPTY_ATSTART : 0;
        at = span.last;
      }
      if (!needSlow) return true;
    }
    return false;
  }
};

RegexPattern::RegexPattern(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
RegexPattern::~RegexPattern() = default;

std::shared_ptr<const RegexPattern> RegexPattern::Compile(std::string_view pattern, int flags,
                                                          bool escapes) {
  auto impl = std::make_unique<Impl>();
  impl->units = GbkToUtf16(escapes ? ApplyEscapeWords(pattern) : std::string(pattern));
  ReplaceLoneSurrogates(impl->units);
  uint32_t options = PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C;
  if (flags & kIgnoreCase) options |= PCRE2_CASELESS;
  options |= (flags & kMultiline) ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
  if (flags & kDotAll) options |= PCRE2_DOTALL;
  impl->options = options;

  impl->fast = CompileUnits(impl->units, options | PCRE2_USE_OFFSET_LIMIT);
  if (impl->fast == nullptr) return nullptr;
  pcre2_jit_compile(impl->fast, PCRE2_JIT_COMPLETE);
  return std::shared_ptr<const RegexPattern>(new RegexPattern(std::move(impl)));
}

namespace {

// The unit and offset arrays of the last subject on this thread, kept for the
// next one: a chapter after chapter of work then allocates none of them.
struct SpareArrays {
  std::u16string units;
  std::vector<int> offsets;
};

SpareArrays& Spares() {
  thread_local SpareArrays spares;
  return spares;
}

// Arrays larger than this (units) go back to the system rather than stay
// with the thread.
constexpr std::size_t kMaxSpareUnits = 256 * 1024;

}  // namespace

RegexSubject::RegexSubject(std::string gbk) : m_bytes(std::move(gbk)) {
  SpareArrays& spares = Spares();
  m_units.swap(spares.units);
  m_offsets.swap(spares.offsets);
  Decode();
}

RegexSubject::~RegexSubject() {
  if (m_units.capacity() > kMaxSpareUnits) return;
  SpareArrays& spares = Spares();
  if (spares.units.capacity() >= m_units.capacity()) return;
  spares.units.swap(m_units);
  spares.offsets.swap(m_offsets);
}

void RegexSubject::Decode() {
  GbkToUtf16(m_bytes, m_units, m_offsets);
  ReplaceLoneSurrogates(m_units);
}

bool RegexSubject::DeleteMatches(const RegexPattern& pattern) {
  std::vector<Span> spans;
  if (!pattern.m_impl->Collect(m_units, 0, -1, 0, spans)) return false;
  if (spans.empty()) return true;

  // Deleting only ever moves text to the left: the three arrays are
  // compacted in place, what is read always lying at or after what is
  // written. Text outside the matches keeps its bytes; its units and offsets
  // move along with them.
  std::size_t readByte = 0;
  std::size_t readUnit = 0;
  std::size_t writeByte = 0;
  std::size_t writeUnit = 0;
  const auto keep = [&](std::size_t unitEnd, std::size_t byteEnd) {
    const int shift = static_cast<int>(writeByte) - static_cast<int>(readByte);
    std::memmove(m_units.data() + writeUnit, m_units.data() + readUnit,
                 (unitEnd - readUnit) * sizeof(char16_t));
    std::transform(m_offsets.begin() + static_cast<std::ptrdiff_t>(readUnit),
                   m_offsets.begin() + static_cast<std::ptrdiff_t>(unitEnd),
                   m_offsets.begin() + static_cast<std::ptrdiff_t>(writeUnit),
                   [shift](int offset) { return offset + shift; });
    std::memmove(m_bytes.data() + writeByte, m_bytes.data() + readByte, byteEnd - readByte);
    writeUnit += unitEnd - readUnit;
    writeByte += byteEnd - readByte;
  };
  // The first unit at or after `unit` whose character starts at or after
  // `byte`.
  const auto unitFrom = [&](std::size_t unit, std::size_t byte) {
    return static_cast<std::size_t>(
        std::lower_bound(m_offsets.begin() + static_cast<std::ptrdiff_t>(unit), m_offsets.end() - 1,
                         static_cast<int>(byte)) -
        m_offsets.begin());
  };
  bool rejoined = false;
  for (const Span& span : spans) {
    const auto matchBegin = std::max(readByte, static_cast<std::size_t>(m_offsets[span.first]));
    const std::size_t matchEnd = static_cast<std::size_t>(m_offsets[span.last]);
    const std::size_t unitBegin = unitFrom(readUnit, matchBegin);
    keep(unitBegin, matchBegin);
    readByte = matchEnd;
    readUnit = unitFrom(unitBegin, matchEnd);
    // A lone lead byte now standing before other bytes may pair with them:
    // the text then decodes differently and is decoded afresh.
    const auto before = writeByte > 0 ? static_cast<unsigned char>(m_bytes[writeByte - 1]) : 0;
    rejoined |= before >= 0x81 && before <= 0xFE && writeUnit > 0 &&
                static_cast<std::size_t>(m_offsets[writeUnit - 1]) == writeByte - 1 &&
                readByte < m_bytes.size();
  }
  keep(m_units.size(), m_bytes.size());
  m_bytes.resize(writeByte);
  m_units.resize(writeUnit);
  m_offsets.resize(writeUnit + 1);
  m_offsets[writeUnit] = static_cast<int>(writeByte);
  if (rejoined) Decode();
  return true;
}

Regex::Regex() = default;
Regex::~Regex() = default;

bool Regex::Compile(std::string_view pattern, int flags, bool escapes) {
  m_pattern = RegexPattern::Compile(pattern, flags, escapes);
  m_resumeAt = 0;
  m_resumeAfterEmpty = false;
  m_exhausted = false;
  m_timedOut = false;
  return m_pattern != nullptr;
}

RegexMatch Regex::Search(std::string_view text) { return Search(text, 0); }

RegexMatch Regex::Search(std::string_view text, int start) {
  m_timedOut = false;
  if (!m_pattern) return {};
  std::size_t fromByte = static_cast<std::size_t>(start);
  uint32_t flags = 0;
  if (start < 0) {
    if (m_exhausted) return {};
    fromByte = m_resumeAt;
    // After an empty match, continuing at the same place must not find it
    // again.
    if (m_resumeAfterEmpty) flags |= PCRE2_NOTEMPTY_ATSTART;
  }
  if (fromByte > text.size()) {
    m_exhausted = true;
    return {};
  }

  std::vector<int> offsets;
  const std::u16string units = Units(text, offsets);
  std::vector<Span> spans;
  const bool done = m_pattern->m_impl->Collect(units, UnitAt(offsets, fromByte), 1, flags, spans);
  if (!done || spans.empty()) {
    m_exhausted = true;
    m_timedOut = !done;
    return {};
  }
  const auto [first, last] = spans.front();
  m_exhausted = false;
  m_resumeAt = static_cast<std::size_t>(offsets[last]);
  m_resumeAfterEmpty = first == last;
  return RegexMatch(offsets[first], offsets[last] - offsets[first]);
}

std::string Regex::Replace(std::string_view text, std::string_view replacement, int start,
                           int count) {
  m_timedOut = false;
  if (!m_pattern) return {};
  const std::size_t fromByte = start < 0 ? 0 : static_cast<std::size_t>(start);
  if (count == 0 || fromByte > text.size()) return std::string(text);

  std::vector<int> offsets;
  const std::u16string units = Units(text, offsets);
  std::vector<Span> spans;
  if (!m_pattern->m_impl->Collect(units, UnitAt(offsets, fromByte), count, 0, spans)) {
    m_timedOut = true;
    return std::string(text);
  }
  if (spans.empty()) return std::string(text);

  // The result is stitched from the original bytes around the matches, so
  // text between matches comes back byte for byte (even bytes GBK cannot
  // decode); the replacement is inserted literally ("$1" is not expanded).
  std::string out;
  std::size_t copied = 0;
  for (const Span& span : spans) {
    const auto matchBegin = std::max(copied, static_cast<std::size_t>(offsets[span.first]));
    out.append(text.data() + copied, matchBegin - copied);
    out.append(replacement);
    copied = static_cast<std::size_t>(offsets[span.last]);
  }
  out.append(text.data() + copied, text.size() - copied);
  return out;
}

bool Regex::TimedOut() const { return m_timedOut; }

void Regex::SetTimeLimitMs(int ms) { g_timeLimitMs.store(std::max(ms, 1)); }

int Regex::TimeLimitMs() { return g_timeLimitMs.load(); }

}  // namespace tarnlow

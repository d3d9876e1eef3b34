#include "chapters/extraction.h"

#include <optional>
#include <utility>

#include "chapters/auto_text.h"
#include "contents/clean_title.h"
#include "text/codepage.h"
#include "text/text.h"
#include "text/text_buffer.h"

namespace tarnlow {
namespace {

constexpr bool kAnyCase = false;  // `exact` argument of the buffer finds
constexpr std::string_view kBreak = "<br />";

}  // namespace

std::string FinishChapterText(std::string_view fragment, const TextOptions& options) {
  TextBuffer buffer{std::string(fragment)};
  switch (options.lineMode) {
    case 1:
      buffer.ReplaceAll("\r\n", "", 1, -1, kAnyCase);
      break;
    case 2:
      buffer.ReplaceAll(Gbk<"。">(), Gbk<"。\r\n">(), 1, -1, kAnyCase);
      break;
    default:
      buffer.ReplaceAll(kBreak, "\r\n", 1, -1, kAnyCase);
      break;
  }
  // The page's navigation usually follows the chapter: drop everything from
  // the first tag that carries a link.
  const int href = buffer.BufferFind("href", 1, kAnyCase);
  if (href != -1) {
    const int tag = buffer.BufferFindLast("<", href, kAnyCase);
    if (tag != -1) buffer.Set(buffer.Get(1, tag - 1));
  }
  std::string text = buffer.Text();
  if (options.rules != nullptr) {
    text =
        ApplyCleanRules(*options.rules, std::move(text),
                        options.onRuleFault != nullptr ? *options.onRuleFault : RuleFaultHandler());
  }
  text += "\r\n";
  return CleanTitle(text);
}

std::string ExtractBetweenMarks(std::string_view page, std::string_view startMark,
                                std::string_view endMark, const TextOptions& options) {
  std::string fragment = TextBetween(page, startMark, endMark, 0);
  if (fragment.empty()) return {};
  TextBuffer buffer(std::move(fragment));
  buffer.ReplaceAll("<br/>", kBreak, 1, -1, kAnyCase);
  buffer.ReplaceAll("<br>", kBreak, 1, -1, kAnyCase);
  buffer.ReplaceAll("<p>", kBreak, 1, -1, kAnyCase);
  buffer.ReplaceAll("</p>", kBreak, 1, -1, kAnyCase);
  return FinishChapterText(buffer.Text(), options);
}

namespace {

// The raw fragment of the break-run search; nothing when there is no run.
std::optional<std::string> BreakRunFragment(std::string_view page) {
  TextBuffer buffer{std::string(page)};
  buffer.ReplaceAll("<br>", kBreak, 1, -1, kAnyCase);
  buffer.ReplaceAll("<br/>", kBreak, 1, -1, kAnyCase);

  const int head = buffer.BufferFind("</head>", 1, kAnyCase);
  int r = buffer.BufferFind(kBreak, head == -1 ? 1 : head, kAnyCase);
  if (r == -1) return {};
  int s = buffer.BufferFind("<", r + 6, kAnyCase);
  if (s == -1) return {};
  // Four line breaks in a row, each the next tag after the one before (text
  // between them is fine), and some tag after the fourth.
  for (int n = 0; n <= 2;) {
    ++n;
    if (buffer.Get(s, 6) != kBreak) {
      r = buffer.BufferFind(kBreak, s + 6, kAnyCase);
      if (r == -1) return {};
      n = 0;
      s = r;
    }
    s = buffer.BufferFind("<", s + 6, kAnyCase);
    if (s == -1) return {};
  }

  // The run's container starts after the last ">" before the run.
  const int g = buffer.BufferFindLast(">", r, kAnyCase);
  if (g == -1) return {};
  std::string fragment = TextBetween(buffer.Text(), ">", "</div>", g - 1);
  const int p = Find(fragment, "<p>", 1, true);
  if (p != -1) fragment = Left(fragment, p - 1);
  return fragment;
}

// The raw fragment of the paragraph search; nothing when no block qualifies.
std::optional<std::string> ParagraphsFragment(std::string_view page) {
  TextBuffer buffer{std::string(page)};
  buffer.ReplaceAll(kBreak, "\r\n", 1, -1, kAnyCase);
  buffer.ReplaceAll("</p>", kBreak, 1, -1, kAnyCase);

  const int e = buffer.BufferFind(kBreak, 1, kAnyCase);
  if (e == -1) return {};
  const int g = buffer.BufferFindLast("<p", e, kAnyCase);
  if (g == -1) return {};
  int d = buffer.BufferFind("</div>", g, kAnyCase);
  if (d == -1) return {};
  std::string segment = buffer.Get(g, d - g);

  int count = 0;
  int at = 0;
  while (count < 5) {
    const int v = Find(segment, kBreak, at + 1);
    at = v;
    if (v == -1) {
      // Too few paragraphs here: try the block up to the next "</div>".
      const int next = buffer.BufferFind("</div>", d + 1, kAnyCase);
      if (next == -1) return {};
      segment = buffer.Get(d, next - d);
      d = next;
      count = 0;
      at = 0;
    } else {
      ++count;
    }
  }
  return segment;
}

}  // namespace

std::string ExtractByBreakRun(std::string_view page, const TextOptions& options) {
  const std::optional<std::string> fragment = BreakRunFragment(page);
  return fragment ? FinishChapterText(*fragment, options) : std::string();
}

std::string ExtractByParagraphs(std::string_view page, const TextOptions& options) {
  const std::optional<std::string> fragment = ParagraphsFragment(page);
  return fragment ? FinishChapterText(*fragment, options) : std::string();
}

namespace {

// Whether the marks are on the page: the start mark, and the end mark after
// it when one is given (found as TextBetween finds them).
bool MarksOnPage(std::string_view page, std::string_view startMark, std::string_view endMark) {
  const int start = Find(page, startMark, 1, true);
  if (start == -1) return false;
  return endMark.empty() ||
         Find(page, endMark, start + static_cast<int>(startMark.size()), true) != -1;
}

// What finishing keeps of a fragment before its clean rules: everything up to
// the first tag that carries a link.
std::string BeforeFirstLink(std::string fragment) {
  TextBuffer buffer(std::move(fragment));
  const int href = buffer.BufferFind("href", 1, kAnyCase);
  if (href != -1) {
    const int tag = buffer.BufferFindLast("<", href, kAnyCase);
    if (tag != -1) return buffer.Get(1, tag - 1);
  }
  return buffer.Text();
}

// A result of the built-in search that is not the chapter: script code in
// it, or far less running text than the page's body.
bool Implausible(const std::string& fragment, const FoundBody& body) {
  const std::string kept = BeforeFirstLink(fragment);
  if (Find(kept, "<script", 1, true) != -1 || Find(kept, "<style", 1, true) != -1) return true;
  return RunningTextBytes(kept) * 2 < body.textBytes;
}

// The built-in search, falling back on the page's own body.
std::string SearchWithBody(std::string_view page, const TextOptions& options) {
  std::optional<std::string> fragment = BreakRunFragment(page);
  std::string text = fragment ? FinishChapterText(*fragment, options) : std::string();
  if (text.empty()) {
    fragment = ParagraphsFragment(page);
    text = fragment ? FinishChapterText(*fragment, options) : std::string();
  }
  const FoundBody body = FindChapterBody(page);
  if (body.textBytes == 0) return text;
  if (text.empty() || !fragment || Implausible(*fragment, body))
    return FinishChapterText(body.fragment, options);
  return text;
}

}  // namespace

ExtractedText ExtractChapter(std::string_view page, std::string_view startMark,
                             std::string_view endMark, const TextOptions& options) {
  if (!startMark.empty()) {
    ExtractedText result{ExtractBetweenMarks(page, startMark, endMark, options)};
    result.marksMissing = result.text.empty() && !MarksOnPage(page, startMark, endMark);
    return result;
  }
  if (options.autoText) return {SearchWithBody(page, options)};
  std::string text = ExtractByBreakRun(page, options);
  if (text.empty()) text = ExtractByParagraphs(page, options);
  return {std::move(text)};
}

std::string ExtractChapterText(std::string_view page, std::string_view startMark,
                               std::string_view endMark, const TextOptions& options) {
  return ExtractChapter(page, startMark, endMark, options).text;
}

}  // namespace tarnlow

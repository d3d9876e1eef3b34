#pragma once
// Cutting a chapter's own text out of its page (GBK, line breaks already
// removed, entities already decoded).

#include <string>
#include <string_view>

#include "chapters/clean_rules.h"

namespace tarnlow {

// How line-break tags become text lines: 0 one line per "<br />" (also any
// value other than 1 and 2), 1 one long line, 2 a line after every "。".
struct TextOptions {
  int lineMode = 0;
  const CleanRuleSet* rules = nullptr;  // none: no clean rules
  // Without text marks, a body the built-in search misses or gets plainly
  // wrong is found by the page's largest block of running text instead.
  bool autoText = false;
  const RuleFaultHandler* onRuleFault = nullptr;  // told of each rule skipped
};

// The text between the marks (found without regard to ASCII case); empty when
// the start mark is missing.
std::string ExtractBetweenMarks(std::string_view page, std::string_view startMark,
                                std::string_view endMark, const TextOptions& options);

// The container of the first run of four "<br />" tags with no other tag
// between them; empty when there is no such run.
std::string ExtractByBreakRun(std::string_view page, const TextOptions& options);

// The first block between two "</div>" tags that holds five paragraph ends.
std::string ExtractByParagraphs(std::string_view page, const TextOptions& options);

// Line breaks by line mode, everything from the first link on dropped, clean
// rules applied, markup and entity runs removed, "\r\n" at the end.
std::string FinishChapterText(std::string_view fragment, const TextOptions& options);

// What the chapter command does with a page: between the marks when a start
// mark is given, else the break run, else the paragraphs. With autoText, the
// page's own body (FindChapterBody) replaces a result of the two searches
// that is empty, holds script text, or has less than half the body's
// running text.
std::string ExtractChapterText(std::string_view page, std::string_view startMark,
                               std::string_view endMark, const TextOptions& options);

struct ExtractedText {
  std::string text;
  // A start mark was given and it, or the end mark after it, is not on the
  // page: the text is empty because of the marks, not because of the page.
  bool marksMissing = false;
};

// ExtractChapterText, also telling whether the typed marks were missing.
ExtractedText ExtractChapter(std::string_view page, std::string_view startMark,
                             std::string_view endMark, const TextOptions& options);

}  // namespace tarnlow

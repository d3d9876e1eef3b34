#pragma once
// A growable GBK text with in-place find and replace. Positions are 1-based;
// `exact` false compares ASCII letters without regard to case.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace tarnlow {

class TextBuffer {
 public:
  TextBuffer() = default;
  explicit TextBuffer(std::string text) : m_text(std::move(text)) {}

  int Length() const { return static_cast<int>(m_text.size()); }
  // `length` -1: to the end; a start outside the text gives "".
  std::string Get(int start = 1, int length = -1) const;
  const std::string& Text() const { return m_text; }
  void Set(std::initializer_list<std::string_view> texts);
  void Set(std::string_view text);

  int BufferFind(std::string_view sought, int start = 1, bool exact = true) const;
  // Last occurrence lying wholly before position `start` (start <= 0: whole text).
  int BufferFindLast(std::string_view sought, int start = 0, bool exact = true) const;
  // Replaces `length` bytes from `start` (clipped to the end; start may be
  // Length() + 1 to append). A start outside that range changes nothing.
  void ReplaceSpan(int start, int length, std::string_view replacement);
  // Non-overlapping, left to right, never re-examining inserted text.
  // count -1: all. Returns the number of replacements.
  int ReplaceAll(std::string_view sought, std::string_view replacement, int start = 1,
                 int count = -1, bool exact = true);
  void BufferTrim();

 private:
  std::string m_text;
};

}  // namespace tarnlow

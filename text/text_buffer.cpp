#include "text/text_buffer.h"

#include <algorithm>

#include "text/scan.h"
#include "text/text.h"

namespace tarnlow {

std::string TextBuffer::Get(int start, int length) const {
  if (start < 1 || static_cast<std::size_t>(start) > m_text.size() || length == 0) return {};
  const std::size_t count = length < 0 ? std::string::npos : static_cast<std::size_t>(length);
  return m_text.substr(static_cast<std::size_t>(start) - 1, count);
}

void TextBuffer::Set(std::initializer_list<std::string_view> texts) {
  // Built aside: a piece may be a view into the current text.
  std::size_t total = 0;
  for (std::string_view t : texts) total += t.size();
  std::string joined;
  joined.reserve(total);
  for (std::string_view t : texts) joined += t;
  m_text.swap(joined);
}

void TextBuffer::Set(std::string_view text) { m_text = std::string(text); }

int TextBuffer::BufferFind(std::string_view sought, int start, bool exact) const {
  return Find(m_text, sought, start, !exact);
}

int TextBuffer::BufferFindLast(std::string_view sought, int start, bool exact) const {
  return FindLast(m_text, sought, start, !exact);
}

void TextBuffer::ReplaceSpan(int start, int length, std::string_view replacement) {
  if (start < 1 || static_cast<std::size_t>(start) > m_text.size() + 1) return;
  const std::size_t at = static_cast<std::size_t>(start) - 1;
  const std::size_t count =
      std::min(m_text.size() - at, static_cast<std::size_t>(std::max(length, 0)));
  m_text.replace(at, count, std::string(replacement));
}

int TextBuffer::ReplaceAll(std::string_view sought, std::string_view replacement, int start,
                           int count, bool exact) {
  const std::size_t from = start <= 0 ? 0 : static_cast<std::size_t>(start) - 1;
  if (sought.empty() || count == 0 || from >= m_text.size()) return 0;
  const std::string_view text = m_text;
  std::size_t at = detail::FindFrom(text, sought, from, !exact);
  if (at == detail::kNotFound) return 0;

  // One pass into a fresh buffer: the search always resumes in the old text
  // right after the replaced part, so inserted text is never examined again.
  std::string out;
  out.reserve(text.size() + (replacement.size() > sought.size() ? text.size() / 8 : 0));
  std::size_t copied = 0;
  int done = 0;
  while (at != detail::kNotFound) {
    out.append(text.data() + copied, at - copied);
    out.append(replacement);
    copied = at + sought.size();
    ++done;
    if (count > 0 && done >= count) break;
    at = detail::FindFrom(text, sought, copied, !exact);
  }
  out.append(text.data() + copied, text.size() - copied);
  m_text.swap(out);
  return done;
}

void TextBuffer::BufferTrim() { m_text = Trim(m_text); }

}  // namespace tarnlow

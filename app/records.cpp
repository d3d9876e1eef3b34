#include "app/records.h"

#include <algorithm>
#include <utility>

#include "app/run_log.h"
#include "text/codepage.h"

namespace tarnlow {

const std::string& DefaultUiFontName() { return Gbk<"宋体">(); }

RunLog::RunLog() = default;

std::string RunLog::Text() const {
  std::lock_guard lock(m_mutex);
  std::size_t size = 0;
  for (const std::string& entry : m_reversed) size += entry.size();
  std::string text;
  text.reserve(size);
  for (auto it = m_reversed.rbegin(); it != m_reversed.rend(); ++it) text += *it;
  return text;
}

void RunLog::SetText(std::string text) {
  std::lock_guard lock(m_mutex);
  m_reversed.clear();
  if (!text.empty()) m_reversed.push_back(std::move(text));
}

void RunLog::Clear() {
  std::lock_guard lock(m_mutex);
  m_reversed.clear();
}

void RunLog::AddEntry(std::string_view message, std::string_view lead) {
  // The stamp is taken inside the lock so that the order of the entries and
  // the order of their stamps agree, worker threads' entries included.
  std::lock_guard lock(m_mutex);
  std::string entry(lead);
  entry += Gbk<"【">();
  entry += TimeStamp();
  entry += Gbk<"】">();
  entry += message;
  m_reversed.push_back(std::move(entry));
}

std::string ChapterList::Text(std::size_t i) const {
  std::lock_guard lock(m_textMutex);
  return i < m_entries.size() ? m_entries[i].text : std::string();
}

bool ChapterList::HasText(std::size_t i) const {
  std::lock_guard lock(m_textMutex);
  return i < m_entries.size() && !m_entries[i].text.empty();
}

void ChapterList::SetText(std::size_t i, std::string text) {
  std::lock_guard lock(m_textMutex);
  if (i < m_entries.size()) m_entries[i].text = std::move(text);
}

void ChapterList::MarkFailed(std::size_t i) {
  std::lock_guard lock(m_textMutex);
  m_failed.push_back(i);
}

std::vector<std::size_t> ChapterList::Failed() const {
  std::vector<std::size_t> failed;
  {
    std::lock_guard lock(m_textMutex);
    failed = m_failed;
  }
  std::sort(failed.begin(), failed.end());
  failed.erase(std::unique(failed.begin(), failed.end()), failed.end());
  return failed;
}

void ChapterList::ClearFailed() {
  std::lock_guard lock(m_textMutex);
  m_failed.clear();
}

}  // namespace tarnlow

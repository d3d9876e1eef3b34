#pragma once
// The process-wide run records shared by the commands, and the chapter list.

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlow {

// "宋体" in GBK: the font every control starts with until the settings are read.
const std::string& DefaultUiFontName();

struct UiFont {
  int angle = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int size = 9;
  std::string name = DefaultUiFontName();  // GBK
};

struct RunState {
  std::atomic<bool> busy{false};
  std::atomic<bool> batchMode{false};
  std::atomic<int> fileNameFormat{0};
  std::atomic<bool> dubiousCleaned{false};
  std::atomic<bool> numberingFormatted{false};
  std::string downloadFolder;  // file-system path (UTF-8 on Linux); set before any command
  std::atomic<bool> cancelRequested{false};
  std::atomic<int> lineMode{0};
  std::atomic<bool> autoText{false};  // the AutoText setting once the settings are read
  std::atomic<bool> resume{false};    // the Resume setting: chapter pages kept in Cache
  std::atomic<bool> backOff{false};   // the BackOff setting: slowing down for a site
  std::atomic<int> retryCount{0};
  std::atomic<int> delayMs{0};
  std::atomic<int> threadCount{0};
  std::atomic<int> failedCount{0};
  // The command thread runs a command: from the moment it accepts one until
  // the command has returned, a little longer than `busy` on both ends. The
  // UI thread must not touch the chapter list while it is set.
  std::atomic<bool> commandRunning{false};
};

// The run log: newest entry first. Every change is indivisible against the
// others, so entries added by several workers at once are never lost.
class RunLog {
 public:
  RunLog();

  std::string Text() const;
  void SetText(std::string text);
  void Clear();
  // Puts lead + "【" + TimeStamp() + "】" + message in front of the log
  // (`lead`: the chapter failure line begins with "\r\n").
  void AddEntry(std::string_view message, std::string_view lead = {});

  std::atomic<bool> exitRequested{false};
  UiFont uiFont;

 private:
  mutable std::mutex m_mutex;
  // Entries newest last, so adding one costs no copy of the whole log.
  std::vector<std::string> m_reversed;
};

struct ChapterEntry {
  std::string title;
  std::string url;
  std::string text;
};

// Ordered chapter list. Its shape (entries, titles, urls) changes only on the
// command thread while no chapter run is going, or on the UI thread through
// the list box's commands while no command runs at all; during a run each
// worker writes its own entry's text, and texts are read and written under a
// lock.
class ChapterList {
 public:
  std::size_t Size() const { return m_entries.size(); }
  bool Empty() const { return m_entries.empty(); }
  void Clear() {
    m_entries.clear();
    ClearFailed();
  }
  void Append(ChapterEntry entry) { m_entries.push_back(std::move(entry)); }

  // Direct access for the command thread (contents commands, saving).
  std::vector<ChapterEntry>& Entries() { return m_entries; }
  const std::vector<ChapterEntry>& Entries() const { return m_entries; }
  ChapterEntry& operator[](std::size_t i) { return m_entries[i]; }
  const ChapterEntry& operator[](std::size_t i) const { return m_entries[i]; }

  // Text access safe against workers writing other entries (0-based index).
  std::string Text(std::size_t i) const;
  bool HasText(std::size_t i) const;
  void SetText(std::size_t i, std::string text);

  // The chapters of the current run that got no usable page (0-based),
  // marked by the workers; a run starts by clearing them.
  void MarkFailed(std::size_t i);
  std::vector<std::size_t> Failed() const;  // ascending
  void ClearFailed();

 private:
  std::vector<ChapterEntry> m_entries;
  std::vector<std::size_t> m_failed;
  mutable std::mutex m_textMutex;
};

}  // namespace tarnlow

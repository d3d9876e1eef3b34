#pragma once
// Chapter pages kept on disk while a book is being downloaded, so that a run
// that is cancelled, closed or killed does not throw away what it fetched:
// Cache/<hash of the contents address>/ in the program directory holds one
// file per chapter page (GBK, as fetched) and an append-only index of the
// chapter addresses whose page is there.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarnlow {

class ChapterCache {
 public:
  // Opens (or prepares) the folder of `contentsAddress` under
  // `programDir`/Cache and reads its index. Nothing is written until Store.
  ChapterCache(const std::filesystem::path& programDir, std::string_view contentsAddress);
  ChapterCache(const ChapterCache&) = delete;
  ChapterCache& operator=(const ChapterCache&) = delete;

  // The page kept for `chapterAddress`; nothing when none is kept or its file
  // is gone or empty. Safe from several threads.
  std::optional<std::string> Load(std::string_view chapterAddress) const;
  // Keeps a page: its file is replaced whole, then its address is appended
  // to the index in one write, so a kill at any moment leaves either a whole
  // entry or none. False when the disk refused; the run goes on without it.
  bool Store(std::string_view chapterAddress, std::string_view page);
  // Removes the whole folder (the book was saved).
  void Remove();

  std::size_t Size() const { return m_index.size(); }
  const std::filesystem::path& Folder() const { return m_folder; }

 private:
  bool PrepareLocked();

  std::filesystem::path m_folder;
  std::string m_contentsAddress;
  // Chapter address -> file name, as read when the cache was opened.
  std::unordered_map<std::string, std::string> m_index;
  std::mutex m_writeMutex;
  long long m_nextNumber = 1;  // the next page file's number
  bool m_prepared = false;
  // The index ends in a line a kill cut short: its length without that line,
  // to which it is cut back before the next entry goes in.
  std::optional<std::uintmax_t> m_wholeSize;
};

// The folder of the chapter cache in `programDir`.
std::filesystem::path ChapterCacheRoot(const std::filesystem::path& programDir);

// Removes the books of the chapter cache that no run has touched for `maxAge`.
void PruneChapterCache(const std::filesystem::path& programDir,
                       std::chrono::hours maxAge = std::chrono::hours(24 * 30));

}  // namespace tarnlow

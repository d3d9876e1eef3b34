#include "chapters/chapter_cache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <vector>

#include "app/files.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;

constexpr char kIndexName[] = "index";
// The index's first line: this mark and the contents address, so that two
// addresses whose hashes meet never share pages.
constexpr std::string_view kHeaderMark = "#\t";

std::string HashName(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) name[static_cast<std::size_t>(i)] = kHex[hash & 15];
  return name;
}

// A page file's name: its number and ".txt".
std::optional<long long> PageNumber(std::string_view name) {
  if (!name.ends_with(".txt") || name.size() == 4) return std::nullopt;
  long long n = 0;
  for (const char c : name.substr(0, name.size() - 4)) {
    if (c < '0' || c > '9' || n > 1'000'000'000) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

fs::path ChapterCacheRoot(const fs::path& programDir) { return programDir / "Cache"; }

ChapterCache::ChapterCache(const fs::path& programDir, std::string_view contentsAddress)
    : m_folder(ChapterCacheRoot(programDir) / HashName(contentsAddress)),
      m_contentsAddress(contentsAddress) {
  const FileBytes index = ReadFileBytes(m_folder / kIndexName);
  if (index.state != FileBytes::State::Read) return;
  const std::string& bytes = index.bytes;
  const std::string header = std::string(kHeaderMark) + m_contentsAddress + "\n";
  // Another book's folder (the hashes met) is replaced on the first Store.
  if (!bytes.starts_with(header)) return;
  m_prepared = true;
  if (bytes.back() != '\n') m_wholeSize = bytes.rfind('\n') + 1;
  // A line without its end was cut by a kill and counts as absent.
  std::size_t from = header.size();
  for (std::size_t end; (end = bytes.find('\n', from)) != std::string::npos; from = end + 1) {
    const std::string_view line(bytes.data() + from, end - from);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    const std::string_view file = line.substr(0, tab);
    const std::optional<long long> number = PageNumber(file);
    if (!number) continue;
    m_index[std::string(line.substr(tab + 1))] = std::string(file);
    m_nextNumber = std::max(m_nextNumber, *number + 1);
  }
  // Opening the book again counts as touching it.
  std::error_code error;
  fs::last_write_time(m_folder / kIndexName, fs::file_time_type::clock::now(), error);
}

std::optional<std::string> ChapterCache::Load(std::string_view chapterAddress) const {
  const auto it = m_index.find(std::string(chapterAddress));
  if (it == m_index.end()) return std::nullopt;
  FileBytes page = ReadFileBytes(m_folder / it->second);
  if (page.state != FileBytes::State::Read || page.bytes.empty()) return std::nullopt;
  return std::move(page.bytes);
}

bool ChapterCache::PrepareLocked() {
  if (m_prepared) return true;
  std::error_code error;
  fs::remove_all(m_folder, error);
  fs::create_directories(m_folder, error);
  if (error) return false;
  m_prepared =
      ReplaceFile(m_folder / kIndexName, std::string(kHeaderMark) + m_contentsAddress + "\n");
  return m_prepared;
}

bool ChapterCache::Store(std::string_view chapterAddress, std::string_view page) {
  // A line break in an address would break the index's lines.
  if (chapterAddress.find_first_of("\r\n") != std::string_view::npos) return false;
  std::string file;
  {
    std::lock_guard lock(m_writeMutex);
    if (!PrepareLocked()) return false;
    file = std::to_string(m_nextNumber++) + ".txt";
  }
  if (!ReplaceFile(m_folder / file, page)) return false;
  std::string line = file + "\t" + std::string(chapterAddress) + "\n";
  std::lock_guard lock(m_writeMutex);
  const fs::path index = m_folder / kIndexName;
  if (m_wholeSize) {
    // A cut line left in place would join the next one, or pass for an
    // address it is only the start of.
    std::error_code error;
    fs::resize_file(index, *m_wholeSize, error);
    if (error) return false;
    m_wholeSize.reset();
  }
  const int fd = ::open(index.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  // One write: a kill leaves the whole line or a cut one, never a wrong one.
  const bool ok = WriteAll(fd, line);
  ::close(fd);
  return ok;
}

void ChapterCache::Remove() {
  std::lock_guard lock(m_writeMutex);
  std::error_code error;
  fs::remove_all(m_folder, error);
  m_prepared = false;
  m_wholeSize.reset();
  m_index.clear();
}

void PruneChapterCache(const fs::path& programDir, std::chrono::hours maxAge) {
  std::error_code error;
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(ChapterCacheRoot(programDir), error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_directory(error)) continue;
    fs::path stamp = it->path() / kIndexName;
    if (!fs::exists(stamp, error)) stamp = it->path();
    const auto touched = fs::last_write_time(stamp, error);
    if (!error && now - touched > maxAge) stale.push_back(it->path());
    error.clear();
  }
  for (const fs::path& folder : stale) fs::remove_all(folder, error);
}

}  // namespace tarnlow

// A contents page from the input through link extraction, duplicate removal
// and dubious-link cleaning. Input: flags, separator, then (flag 1) the
// address box and (flag 2) the Keyword setting as fields, then the page.

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"
#include "contents/links.h"
#include "contents/url.h"
#include "tests/fuzz/fuzz_input.h"
#include "text/text.h"

namespace tarnlow::fuzz {
namespace {

// Every entry the list may hold: a real address that no filter drops, and a
// cleaned title that the title filter lets through.
void CheckEntry(const ChapterEntry& e, std::string_view address) {
  FUZZ_CHECK(!e.url.empty());
  FUZZ_CHECK(!IsFilteredUrl(e.url));
  FUZZ_CHECK(e.url != address);
  FUZZ_CHECK(!IsSiteRoot(e.url));
  FUZZ_CHECK(LastSegment(e.url).substr(0, 1) != ".");
  FUZZ_CHECK(!IsFilteredTitle(e.title));
  FUZZ_CHECK(Trim(e.title) == e.title);
  const int lt = Find(e.title, "<");
  FUZZ_CHECK(lt == -1 || Find(e.title, ">", lt) == -1);
}

// At the first later entry with the same address the earlier one goes, and
// the walk goes on with the entry that took its place.
std::vector<ChapterEntry> LiteralRemoveDuplicates(std::vector<ChapterEntry> entries) {
  std::size_t i = 0;
  while (i + 1 < entries.size()) {
    bool removed = false;
    for (std::size_t j = i + 1; j < entries.size(); ++j) {
      if (entries[j].url == entries[i].url) {
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
        removed = true;
        break;
      }
    }
    if (!removed) ++i;
  }
  return entries;
}

std::vector<ChapterEntry> LiteralCleanDubious(const std::vector<ChapterEntry>& entries,
                                              std::string_view keyword) {
  const auto keyOf = [](const ChapterEntry& e) {
    return DirectoryPath(e.url) + Extension(LastSegment(e.url));
  };
  std::vector<std::string> groups;
  std::vector<int> counts;
  int keywordGroup = -1;
  for (const ChapterEntry& e : entries) {
    const std::string key = keyOf(e);
    std::size_t g = 0;
    while (g < groups.size() && groups[g] != key) ++g;
    if (g < groups.size()) {
      ++counts[g];
      continue;
    }
    groups.push_back(key);
    counts.push_back(1);
    if (keywordGroup == -1 && Find(e.title, keyword) != -1) keywordGroup = static_cast<int>(g);
  }
  if (groups.size() <= 1) return entries;
  std::size_t kept = 0;
  if (keywordGroup != -1) {
    kept = static_cast<std::size_t>(keywordGroup);
  } else {
    for (std::size_t g = 1; g < groups.size(); ++g) {
      if (counts[g] > counts[kept]) kept = g;
    }
  }
  std::vector<ChapterEntry> result;
  for (const ChapterEntry& e : entries) {
    if (keyOf(e) == groups[kept]) result.push_back(e);
  }
  return result;
}

bool SameEntries(const std::vector<ChapterEntry>& a, const std::vector<ChapterEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].url != b[i].url || a[i].title != b[i].title) return false;
  }
  return true;
}

}  // namespace
}  // namespace tarnlow::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlow;
  using namespace tarnlow::fuzz;
  Input in(data, size);
  const std::uint8_t flags = in.Byte();
  const char separator = static_cast<char>(in.Byte());
  const int position = in.Number();
  const std::string address =
      flags & 1 ? std::string(in.Field(separator)) : "http://www.book.com/book/1/";
  const std::filesystem::path& dir = ScratchDir::Path();
  if (flags & 2) {
    ScratchDir::WriteFile("config.ini", "[config]\r\nKeyword=" + std::string(in.Field(separator)));
  } else {
    std::error_code error;
    std::filesystem::remove(dir / "config.ini", error);
  }
  const std::string_view page = in.Rest();

  std::vector<ChapterEntry> entries = ExtractLinks(page, address);
  FUZZ_CHECK(entries.size() <= Split(page, "</a>").size());
  for (const ChapterEntry& e : entries) CheckEntry(e, address);

  const std::vector<ChapterEntry> unique = LiteralRemoveDuplicates(entries);
  RemoveDuplicateUrls(entries);
  FUZZ_CHECK(SameEntries(entries, unique));
  std::set<std::string> urls;
  for (const ChapterEntry& e : entries) FUZZ_CHECK(urls.insert(e.url).second);

  const std::string keyword = Settings(dir).Read(keys::Keyword);
  const std::vector<ChapterEntry> kept = LiteralCleanDubious(entries, keyword);
  CleanDubiousLinks(entries, keyword);
  FUZZ_CHECK(SameEntries(entries, kept));

  // Paging reads one link at a chosen position.
  const std::string url = ResolveHref(address, page, true, position);
  if (!url.empty()) CheckEntry({"", url, ""}, address);
  return 0;
}

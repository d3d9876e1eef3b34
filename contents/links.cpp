#include "contents/links.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "contents/clean_title.h"
#include "contents/url.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

const std::vector<std::string>& TitleStopWords() {
  static const std::vector<std::string> words =
      Split(Gbk<"小说\r\n分类\r\n玄幻\r\n耽美\r\n言情\r\n下载\r\n书架\r\n修真\r\n全本\r\n完本\r\n"
                "联系我们\r\n上一页\r\n下一页\r\n开始阅读\r\n立即阅读">(),
            "\r\n");
  return words;
}

const std::vector<std::string>& UrlStopWords() {
  static const std::vector<std::string> words =
      Split("javascript\r\n.css\r\n.jpg\r\n.png\r\n.ico\r\n=\r\nsearch\r\ntop\r\n \r\n", "\r\n");
  return words;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }
bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// Whether the "href" at the 1-based `h` stands inside a tag: a "<" before it
// with no ">" between. ("<" and ">" are never the trail byte of a GBK
// character.)
bool InsideTag(std::string_view piece, int h) {
  const std::size_t at = static_cast<std::size_t>(h - 1);
  const std::size_t lt = piece.rfind('<', at);
  return lt != std::string_view::npos && piece.find('>', lt) >= at;
}

// href=value without quotes: the value runs to the next space, ">" or the
// end of the piece. Returns false when the href is quoted or has no "=".
bool UnquotedValue(std::string_view piece, int h, std::string& value) {
  std::size_t i = static_cast<std::size_t>(h - 1) + 4;  // just after "href"
  while (i < piece.size() && IsSpace(piece[i])) ++i;
  if (i >= piece.size() || piece[i] != '=') return false;
  ++i;
  while (i < piece.size() && IsSpace(piece[i])) ++i;
  if (i < piece.size() && IsQuote(piece[i])) return false;
  std::size_t end = i;
  while (end < piece.size() && piece[end] != ' ' && piece[end] != '>') ++end;
  value.assign(piece.substr(i, end - i));
  return true;
}

bool QuotedValue(std::string_view piece, int h, std::string& value) {
  int q1 = Find(piece, "\"", h);
  char delimiter = '"';
  if (q1 == -1 || q1 > h + 8) {
    q1 = Find(piece, "'", h);
    if (q1 == -1) return false;
    delimiter = '\'';
  }
  const int q2 = Find(piece, std::string_view(&delimiter, 1), q1 + 1);
  if (q2 == -1) return false;
  value = Middle(piece, q1 + 1, q2 - q1 - 1);
  return true;
}

}  // namespace

std::string ResolveHref(std::string_view address, std::string_view piece, bool byPosition,
                        int position) {
  int h;
  if (byPosition) {
    const int s = FindLast(piece, "<", position + 1);
    if (s == -1) return {};
    h = Find(piece, "href", s);
  } else {
    h = FindLast(piece, "href");
  }
  if (h == -1) return {};

  // The unquoted reading is a fallback for anchors such as <a href=2.html>:
  // an "href" in a script (location.href = ...) is no link.
  std::string v;
  if (!QuotedValue(piece, h, v) && !(InsideTag(piece, h) && UnquotedValue(piece, h, v))) {
    return {};
  }

  const int hash = FindLast(v, "#");
  if (hash != -1) v = Left(v, hash - 1);

  if (v.starts_with("//")) {
    v = SchemePrefix(address) + v;
  } else if (v.starts_with("/")) {
    v = SiteRoot(address) + v;
  } else if (!v.starts_with("http")) {
    v = EndsWithSlash(address) ? std::string(address) + v
                               : SiteRoot(address) + DirectoryPath(address) + v;
  }

  if (IsSiteRoot(v) || v == address || LastSegment(v).starts_with(".") || IsFilteredUrl(v)) {
    return {};
  }
  return v;
}

bool IsFilteredTitle(std::string_view title) {
  if (title.empty()) return false;
  for (const std::string& word : TitleStopWords()) {
    if (Find(title, word) != -1) return true;
  }
  return false;
}

bool IsFilteredUrl(std::string_view url) {
  if (url.empty()) return false;
  const std::string lower = ToLower(url);
  for (const std::string& word : UrlStopWords()) {
    if (Find(lower, word) != -1) return true;
  }
  return false;
}

std::vector<ChapterEntry> ExtractLinks(std::string_view text, std::string_view address) {
  std::vector<ChapterEntry> entries;
  for (const std::string& piece : Split(text, "</a>")) {
    std::string url = ResolveHref(address, piece, false, 0);
    if (url.empty()) continue;
    const int h = FindLast(piece, "href");
    const int gt = Find(piece, ">", h);
    const std::string_view raw =
        gt == -1 ? std::string_view(piece) : std::string_view(piece).substr(gt);
    std::string title = CleanTitle(raw);
    if (IsFilteredTitle(title)) continue;
    entries.push_back({std::move(title), std::move(url), {}});
  }
  return entries;
}

void RemoveDuplicateUrls(std::vector<ChapterEntry>& entries) {
  if (entries.size() < 2) return;
  // Only the last entry of an address survives; walking backwards, the first
  // sighting is that last one.
  std::vector<bool> keep(entries.size(), false);
  std::unordered_set<std::string_view> seen;
  seen.reserve(entries.size());
  for (std::size_t i = entries.size(); i-- > 0;) {
    keep[i] = seen.insert(entries[i].url).second;
  }
  std::vector<ChapterEntry> kept;
  kept.reserve(seen.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (keep[i]) kept.push_back(std::move(entries[i]));
  }
  entries = std::move(kept);
}

void CleanDubiousLinks(std::vector<ChapterEntry>& entries, std::string_view keyword) {
  std::vector<std::string> entryKeys;
  entryKeys.reserve(entries.size());
  std::unordered_map<std::string, std::size_t> groupOf;
  std::vector<int> counts;
  std::size_t keywordGroup = SIZE_MAX;
  for (const ChapterEntry& e : entries) {
    std::string key = DirectoryPath(e.url) + Extension(LastSegment(e.url));
    auto [it, inserted] = groupOf.try_emplace(key, counts.size());
    if (inserted) {
      counts.push_back(1);
      if (keywordGroup == SIZE_MAX && Find(e.title, keyword) != -1) keywordGroup = it->second;
    } else {
      ++counts[it->second];
    }
    entryKeys.push_back(std::move(key));
  }
  if (counts.size() <= 1) return;

  std::size_t keptGroup = keywordGroup;
  if (keptGroup == SIZE_MAX) {
    keptGroup = 0;
    for (std::size_t g = 1; g < counts.size(); ++g) {
      if (counts[g] > counts[keptGroup]) keptGroup = g;
    }
  }
  std::vector<ChapterEntry> kept;
  kept.reserve(static_cast<std::size_t>(counts[keptGroup]));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (groupOf[entryKeys[i]] == keptGroup) kept.push_back(std::move(entries[i]));
  }
  entries = std::move(kept);
}

}  // namespace tarnlow

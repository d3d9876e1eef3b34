#pragma once
// Turning a contents page into chapter entries, and keeping the list clean.

#include <string>
#include <string_view>
#include <vector>

#include "app/records.h"

namespace tarnlow {

// The chapter links of `text` (anchors split at "</a>"), resolved against the
// contents address, in page order.
std::vector<ChapterEntry> ExtractLinks(std::string_view text, std::string_view address);

// The absolute, accepted address of the href in `piece`, or the empty text.
// byPosition false: the last "href" of the piece; true: the first "href"
// after the last "<" at or before the 1-based `position`.
std::string ResolveHref(std::string_view address, std::string_view piece, bool byPosition,
                        int position);

bool IsFilteredTitle(std::string_view title);
bool IsFilteredUrl(std::string_view url);

// Keeps only the last entry of every address, in order.
void RemoveDuplicateUrls(std::vector<ChapterEntry>& entries);

// Keeps only the main group of chapters: entries are grouped by folder and
// extension; the first group whose opening title holds `keyword` wins, else
// the largest group.
void CleanDubiousLinks(std::vector<ChapterEntry>& entries, std::string_view keyword);

}  // namespace tarnlow

#pragma once

#include <string>
#include <string_view>

namespace tarnlow {

struct App;

// The contents command: fetches the address in the address box with retries,
// extracts the chapter links (between the contents marks when given), follows
// the next pages, removes duplicate and dubious links, renumbers on request,
// fills the list box and the save-name box. True when the list is ready.
// Only appends to the chapter list.
bool GetContents(App& app);

// ExtractLinks on the part between the contents marks when a start mark is
// given; without one, on the chapter list the finder sees in the page when
// 自动识别目录 is on, else on the whole page. `firstPage` is the first
// contents page when `page` is one of its next pages: the list there looks
// like the first page's. False only when the finder sees no list.
bool ExtractLinksBetweenMarks(App& app, const std::string& page, std::string_view firstPage = {});

}  // namespace tarnlow

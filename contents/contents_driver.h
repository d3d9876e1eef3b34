#pragma once

#include <string>

namespace tarnlow {

struct App;

// The contents command: fetches the address in the address box with retries,
// extracts the chapter links (between the contents marks when given), follows
// the next pages, removes duplicate and dubious links, renumbers on request,
// fills the list box and the save-name box. True when the list is ready.
// Only appends to the chapter list.
bool GetContents(App& app);

// ExtractLinks on the page, or on the part between the contents marks when a
// start mark is given.
void ExtractLinksBetweenMarks(App& app, const std::string& page);

}  // namespace tarnlow

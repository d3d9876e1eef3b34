#pragma once

#include <string>

#include "contents/contents_driver.h"

namespace tarnlow {

struct App;

enum class PagingEnd {
  Finished,       // no further page, or a page could not be read, or a cancel
  ProcessEnding,  // the window is closing; the command must return at once
};

// Follows the "下一页" links from the first contents page, adding the links
// of every further page to the chapter list. A page already read ends the
// paging.
PagingEnd FollowContentsPages(App& app, const ContentsRun& run, const std::string& firstPage);

}  // namespace tarnlow

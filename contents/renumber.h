#pragma once

#include <vector>

#include "app/records.h"

namespace tarnlow {

// Rewrites every title as "第" + list position + "章 " + the rest, dropping a
// chapter number the site put at the front.
void RenumberTitles(std::vector<ChapterEntry>& entries);

}  // namespace tarnlow

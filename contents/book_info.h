#pragma once

#include <string>
#include <string_view>

namespace tarnlow {

// The proposed save name of a contents page: the meta book name, with the
// author in front when the page names one and `fileNameFormat` is 1 to 4;
// else the page title cut before its first cut word.
std::string DetectBookInfo(std::string_view page, int fileNameFormat);

}  // namespace tarnlow

#pragma once

#include <string>
#include <string_view>

namespace tarnlow {

// What `--version` prints for `program` (tarnlow, tarnlow-cli): one line,
// the program's name and the version the build was made from.
std::string VersionText(std::string_view program);

}  // namespace tarnlow

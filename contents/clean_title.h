#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarnlow {

// Deletes entity-like runs ("&" to a ";" at most 8 bytes on), then every tag
// ("<" to the next ">"), then trims ASCII and full-width spaces at both ends.
// `pump`, when given, runs after each deletion so a long title never freezes
// the window. Linear in the length of the text.
std::string CleanTitle(std::string_view text, const std::function<void()>& pump = {});

}  // namespace tarnlow

#pragma once
// Address functions of the contents command. Positions are 1-based, as in
// the text primitives; the rules are positional on purpose (a host needs a
// "." at position 9 or later, so "localhost" is never a site).

#include <string>
#include <string_view>

namespace tarnlow {

// "http://" or "https://" anywhere (any case) and a "." at position 9 or more.
bool IsWebAddress(std::string_view s);
// Scheme and host: the text before the first "/" at position 9 or later.
std::string SiteRoot(std::string_view url);
// A web address with no path beyond an optional single trailing "/".
bool IsSiteRoot(std::string_view s);
// The folder part of the path, with its slashes ("/book/1/"), or empty.
std::string DirectoryPath(std::string_view url);
bool EndsWithSlash(std::string_view s);
// The scheme with its colon ("https:"), empty when there is no "//".
std::string SchemePrefix(std::string_view url);
// The text after the last "/", empty when the address ends with "/".
std::string LastSegment(std::string_view url);
// The text after the last "." of a segment.
std::string Extension(std::string_view segment);

}  // namespace tarnlow

#include "contents/url.h"

#include "text/text.h"

namespace tarnlow {

bool IsWebAddress(std::string_view s) {
  const std::string lower = ToLower(s);
  if (Find(lower, "http://") == -1 && Find(lower, "https://") == -1) return false;
  return Find(s, ".", 9) != -1;
}

std::string SiteRoot(std::string_view url) {
  const int slash = Find(url, "/", 9);
  return slash == -1 ? std::string() : Left(url, slash - 1);
}

bool IsSiteRoot(std::string_view s) {
  if (!IsWebAddress(s)) return false;
  const int first = Find(s, "/", 10);
  if (first == -1) return true;
  return first == FindLast(s, "/") && first == static_cast<int>(s.size());
}

std::string DirectoryPath(std::string_view url) {
  const int length = static_cast<int>(url.size());
  // A trailing slash is skipped: the folder of "/book/1/" is "/book/".
  const int e = EndsWithSlash(url) ? FindLast(url, "/", length - 1) : FindLast(url, "/");
  if (IsWebAddress(url)) {
    const int b = Find(url, "/", 12);
    if (b == -1 || b > e) return {};
    if (b == e) return "/";
    return Middle(url, b, e - b + 1);
  }
  return e == -1 ? std::string("/") : Left(url, e);
}

bool EndsWithSlash(std::string_view s) { return !s.empty() && s.back() == '/'; }

std::string SchemePrefix(std::string_view url) {
  const int p = Find(url, "//");
  return p == -1 ? std::string() : Left(url, p - 1);
}

std::string LastSegment(std::string_view url) {
  if (EndsWithSlash(url)) return {};
  const int p = FindLast(url, "/");
  if (p == -1) return std::string(url);
  return std::string(url.substr(static_cast<std::size_t>(p)));
}

std::string Extension(std::string_view segment) {
  const int p = FindLast(segment, ".");
  if (p == -1) return {};
  return std::string(segment.substr(static_cast<std::size_t>(p)));
}

}  // namespace tarnlow

#pragma once
// The one way the program reads a web page.

#include <string>
#include <string_view>

namespace tarnlow {

// The failure marker every caller searches for (GBK).
const std::string& FetchFailedMarker();  // " 网页获取失败！错误代码："

// The page as GBK text without line breaks, entities decoded; or a failure
// text that begins with FetchFailedMarker(). Makes exactly one request.
std::string FetchPage(std::string_view url);

// The fixed entity and line-break replacements of a fetched page.
std::string DecodeEntities(std::string_view text);

// Everything FetchPage does after the request: decoding of the body, the
// status check, the charset test, entities, conversion. Exposed for tests and
// fuzzing.
std::string ProcessResponse(std::string_view body, std::string_view responseHeaders);

}  // namespace tarnlow

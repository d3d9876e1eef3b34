#pragma once
// One HTTP/1.1 request over libcurl, and the helpers around it.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlow {

struct [[nodiscard]] HttpResult {
  std::string body;             // as received (not decoded), at most 64 MiB
  std::string responseHeaders;  // status line first, CR LF separated; empty: no answer
  std::string cookies;          // Set-Cookie values joined by CR LF
  int curlCode = 0;             // the transport's result code (0: it ended normally)
  bool capped = false;          // the body was cut at the 64 MiB cap
  bool stopped = false;         // the caller's stop predicate ended the transfer
};

// url, method (empty: GET), proxy (empty: the environment's proxy settings),
// the caller's header block, request body (POST only), accept-compressed,
// request flags. The answer's headers are those of the final answer after
// redirects; a redirect not followed (past 20, or off http and https) is the
// final answer. A transfer that fails after the headers came (reset, stall)
// counts as no answer, so the caller retries instead of taking a truncated
// page; only a body cut at the 64 MiB cap keeps its headers. `stop`, when
// given, is asked while the transfer runs (at least about once a second, and
// whenever data moves); once it says so, the transfer ends with no answer and
// `stopped` set.
HttpResult HttpRequest(std::string_view url, std::string_view method, std::string_view proxy,
                       std::string_view headers, std::string_view body, bool acceptCompressed,
                       unsigned flags, const std::function<bool()>& stop = {});

// The header text a request carries: the caller's block, a CR LF if it lacks
// one, then each default line whose exact name does not occur in the text so
// far. Lines whose names differ only in letter case are later sent once.
std::string BuildRequestHeaderText(std::string_view headers, std::string_view url,
                                   std::string_view method, bool acceptCompressed);

// The values of the answer header lines named `name` (any letter case), in
// order, without the blanks around them.
std::vector<std::string_view> HeaderValues(std::string_view headers, std::string_view name);

// Decodes a gzip member, or returns the input unchanged when it does not start
// with the gzip magic.
std::string GunzipOrPass(std::string_view bytes);

// Opens an address in the default browser.
bool OpenInBrowser(std::string_view url);

// Time-outs of every request. Tests shorten them through SetTimeoutsForTest.
struct HttpTimeouts {
  std::chrono::milliseconds connect{90000};
  std::chrono::milliseconds noProgress{90000};  // send/receive without progress
  // The whole transfer's deadline; zero: connect + 5 x noProgress.
  std::chrono::milliseconds transfer{0};
};
HttpTimeouts CurrentTimeouts();
void SetTimeoutsForTest(const HttpTimeouts& timeouts);

// Trust this CA bundle instead of the system's (empty: the system's again).
void SetCaFileForTest(std::string path);

}  // namespace tarnlow

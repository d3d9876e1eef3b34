#pragma once
// The one way the program reads a web page.

#include <functional>
#include <string>
#include <string_view>

namespace tarnlow {

// What one page fetch came to.
struct [[nodiscard]] FetchResult {
  enum class Kind {
    Page,        // a 200 answer: `text` is the page
    HttpStatus,  // an answer whose status line holds no "200"
    NoAnswer,    // no answer at all: no connection, time-out, a transfer that broke off
    Cancelled,   // the caller's stop predicate ended the transfer
    Cut,         // a 200 answer whose body was cut at the size cap: `text` is what came
  };
  Kind kind = Kind::NoAnswer;
  std::string text;        // Page and Cut: GBK, without line breaks, entities decoded
  std::string statusLine;  // the answer's status line; empty without an answer
  int curlCode = 0;        // the transport's result code (0: it ended normally)
  // Page: the body's content coding could not be undone (a corrupt stream, a
  // body that is not in the coding its answer names); `text` is what came.
  bool undecodable = false;
  int statusCode = 0;  // the answer's status code; 0 without an answer or a readable one
  // HttpStatus: how long the answer's Retry-After asks to wait (seconds or an
  // HTTP date), -1 when it has none or none that can be read.
  long long retryAfterMs = -1;

  bool HasPage() const { return kind == Kind::Page || kind == Kind::Cut; }
};

// Makes exactly one request. `stop`, when given, is asked while the transfer
// runs; once it says so, the transfer ends as Cancelled.
FetchResult FetchPage(std::string_view url, const std::function<bool()>& stop = {});

// What the user is shown for a fetch: the page itself, or the failure text,
// which begins with FetchFailedMarker(): " 网页获取失败！错误代码：", two
// line breaks, then the status line, or " 网络异常" when no answer came.
std::string ShownText(const FetchResult& result);
const std::string& FetchFailedMarker();

// The fixed entity and line-break replacements of a fetched page.
std::string DecodeEntities(std::string_view text);

// Everything FetchPage does after the request: the status check, decoding of
// the body, the charset test, entities, conversion. Page, HttpStatus or
// NoAnswer (empty headers). Exposed for tests and fuzzing.
FetchResult ProcessResponse(std::string_view body, std::string_view responseHeaders);

}  // namespace tarnlow

#include "fetch/fetch_page.h"

#include <algorithm>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include <curl/curl.h>

#include "fetch/content_decoding.h"
#include "fetch/http_client.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {
namespace {

// The browser-like request every page is fetched with. The lower-case names
// do not hide the client layer's defaults, which are appended after them.
constexpr std::string_view kRequestHeaders =
    "accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,image/apng,*/"
    "*;q=0.8,application/signed-exchange;v=b3;q=0.9\r\n"
    "accept-encoding: gzip, deflate, br\r\n"
    "accept-language: zh-CN,zh;q=0.9,en;q=0.8,en-GB;q=0.7,en-US;q=0.6\r\n"
    "cache-control: max-age=0\r\n"
    "sec-ch-ua: \" Not A;Brand\";v=\"99\", \"Chromium\";v=\"102\", \"Microsoft Edge\";v=\"102\"\r\n"
    "sec-ch-ua-mobile: ?0\r\n"
    "sec-ch-ua-platform: \"Windows\"\r\n"
    "sec-fetch-dest: document\r\n"
    "sec-fetch-mode: navigate\r\n"
    "sec-fetch-site: none\r\n"
    "sec-fetch-user: ?1\r\n"
    "upgrade-insecure-requests: 1\r\n"
    "user-agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/102.0.5005.63 Safari/537.36 Edg/102.0.1245.33";

constexpr unsigned kPragmaNoCache = 256;

// A page that claims UTF-8 but whose invalid sequences pass this share of
// its non-ASCII bytes is really in the local code page; converting it would
// turn its Chinese into "?" and stray letters. The share is taken of the
// non-ASCII bytes, not of all bytes, because the markup is ASCII and would
// hide a short chapter. GBK text makes about one invalid sequence per two or
// three of its bytes; a few stray bytes in a genuine UTF-8 page stay under.
constexpr int kTolerableInvalidPerThousand = 10;

// Every occurrence, left to right, in one pass: text produced by the
// replacement is never looked at again. Byte for byte on purpose: entities are
// decoded while the page may still be UTF-8, where a search that protects
// double-byte characters would skip an "&" after a UTF-8 byte.
void ReplaceAllBytes(std::string& text, std::string_view sought, std::string_view replacement) {
  std::size_t hit = text.find(sought);
  if (hit == std::string::npos) return;
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  while (hit != std::string::npos) {
    result.append(text, from, hit - from);
    result += replacement;
    from = hit + sought.size();
    hit = text.find(sought, from);
  }
  result.append(text, from, std::string::npos);
  text.swap(result);
}

// The value of the first answer header of that name (any letter case).
std::string_view HeaderValue(std::string_view headers, std::string_view name) {
  const std::vector<std::string_view> values = HeaderValues(headers, name);
  return values.empty() ? std::string_view() : values.front();
}

bool ContentTypeSaysUtf8(std::string_view contentType) {
  const std::string lower = AsciiLower(contentType);
  std::size_t pos = lower.find("charset");
  if (pos == std::string::npos) return false;
  pos += 7;
  const auto skip = [&](std::string_view chars) {
    while (pos < lower.size() && chars.find(lower[pos]) != std::string_view::npos) ++pos;
  };
  skip(" \t");
  if (pos >= lower.size() || lower[pos] != '=') return false;
  ++pos;
  skip(" \t\"'");
  const std::string_view value = std::string_view(lower).substr(pos);
  return value.starts_with("utf-8") || value.starts_with("utf8");
}

// Whether the head matches "=.*[uUtTfF]-?[8]" ("." short of a line feed):
// an "=", later on its line one of uUtTfF, an optional "-", then "8". Written
// as one pass, because the pattern engine backtracks over every "=" of a long
// line: a 50 KB inline script ran the search past its time limit, and the
// UTF-8 page then passed for GBK. It reads the head as the engine would
// (decoded to UTF-16), so a trail byte never counts as a letter.
bool HeadDeclaresUtf8(std::string_view head) {
  const std::u16string units = GbkToUtf16(head);
  const auto at = [&](std::size_t i, char16_t c) { return i < units.size() && units[i] == c; };
  bool afterEquals = false;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c == u'\n') {
      afterEquals = false;
    } else if (c == u'=') {
      afterEquals = true;
    } else if (afterEquals && std::u16string_view(u"uUtTfF").find(c) != std::u16string_view::npos) {
      if (at(i + 1, u'8') || (at(i + 1, u'-') && at(i + 2, u'8'))) return true;
    }
  }
  return false;
}

// The answer's Content-Type is asked only when the head names no character
// set at all: a page that declares GBK stays GBK whatever its server says.
bool CountsAsUtf8Page(std::string_view head, std::string_view responseHeaders) {
  if (HeadDeclaresUtf8(head)) return true;
  if (AsciiLower(head).find("charset") != std::string::npos) return false;
  return ContentTypeSaysUtf8(HeaderValue(responseHeaders, "Content-Type"));
}

bool PlausiblyUtf8(std::string_view text) {
  const long long invalid = CountInvalidUtf8(text);
  if (invalid == 0) return true;
  const auto high = std::count_if(text.begin(), text.end(),
                                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return invalid * 1000 <= static_cast<long long>(high) * kTolerableInvalidPerThousand;
}

// "HTTP/1.1 429 Too Many Requests" -> 429.
int StatusCode(std::string_view statusLine) {
  const std::size_t space = statusLine.find(' ');
  if (space == std::string_view::npos || statusLine.size() < space + 4) return 0;
  int code = 0;
  for (const char c : statusLine.substr(space + 1, 3)) {
    if (c < '0' || c > '9') return 0;
    code = code * 10 + (c - '0');
  }
  return code;
}

long long RetryAfterMs(std::string_view value) {
  const std::string text = Trim(std::string(value));
  if (text.empty()) return -1;
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    // Anything over a day is a day: the caller caps it long before that.
    return text.size() > 6 ? 86'400'000 : std::stoll(text) * 1000;
  }
  const time_t when = curl_getdate(text.c_str(), nullptr);
  if (when == -1) return -1;
  return std::max<long long>(0, static_cast<long long>(when - std::time(nullptr))) * 1000;
}

}  // namespace

const std::string& FetchFailedMarker() { return Gbk<" 网页获取失败！错误代码：">(); }

FetchResult FetchPage(std::string_view url, const std::function<bool()>& stop) {
  const HttpResult answer =
      HttpRequest(url, "", "", kRequestHeaders, "", true, kPragmaNoCache, stop);
  if (answer.stopped) {
    FetchResult cancelled;
    cancelled.kind = FetchResult::Kind::Cancelled;
    cancelled.curlCode = answer.curlCode;
    return cancelled;
  }
  FetchResult result = ProcessResponse(answer.body, answer.responseHeaders);
  result.curlCode = answer.curlCode;
  if (result.kind == FetchResult::Kind::Page && answer.capped) {
    // A body cut at the cap cannot end its coding; it is the cut page.
    result.kind = FetchResult::Kind::Cut;
    result.undecodable = false;
  }
  return result;
}

std::string ShownText(const FetchResult& result) {
  switch (result.kind) {
    case FetchResult::Kind::Page:
    case FetchResult::Kind::Cut:
      return result.text;
    case FetchResult::Kind::HttpStatus:
      return FetchFailedMarker() + "\r\n\r\n" + result.statusLine;
    case FetchResult::Kind::NoAnswer:
    case FetchResult::Kind::Cancelled:
      break;
  }
  return FetchFailedMarker() + "\r\n\r\n" + Gbk<" 网络异常">();
}

std::string DecodeEntities(std::string_view text) {
  std::string result(text);
  ReplaceAllBytes(result, "&nbsp;", " ");
  ReplaceAllBytes(result, "&emsp;", " ");
  ReplaceAllBytes(result, "\n", "");
  ReplaceAllBytes(result, "\r", "");
  ReplaceAllBytes(result, "&lt;", "<");
  ReplaceAllBytes(result, "&gt;", ">");
  ReplaceAllBytes(result, "&amp;", "&");
  ReplaceAllBytes(result, "&quot;", "\"");
  ReplaceAllBytes(result, "&#39;", "'");
  return result;
}

FetchResult ProcessResponse(std::string_view body, std::string_view responseHeaders) {
  FetchResult result;
  if (responseHeaders.empty()) return result;
  const std::string_view statusLine = responseHeaders.substr(0, responseHeaders.find("\r\n"));
  result.statusLine = std::string(statusLine);
  result.statusCode = StatusCode(statusLine);
  if (statusLine.find("200") == std::string_view::npos) {
    result.kind = FetchResult::Kind::HttpStatus;
    result.retryAfterMs = RetryAfterMs(HeaderValue(responseHeaders, "Retry-After"));
    return result;
  }

  DecodedBody decoded = DecodeBody(body, HeaderValue(responseHeaders, "Content-Encoding"));
  result.undecodable = !decoded.whole;
  std::string text = std::move(decoded.bytes);
  if (const std::size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);

  // The head still has its line breaks here, so a declaration only counts
  // when its "=" and its utf-8 name stand on one line.
  const std::string_view head = std::string_view(text).substr(0, text.find("</head>"));
  const bool utf8 = CountsAsUtf8Page(head, responseHeaders);

  text = DecodeEntities(text);
  if (utf8 && PlausiblyUtf8(text)) {
    text = Utf8ToAnsi(text);
    ReplaceAllBytes(text, "??", " ");
  }
  result.kind = FetchResult::Kind::Page;
  result.text = std::move(text);
  return result;
}

}  // namespace tarnlow

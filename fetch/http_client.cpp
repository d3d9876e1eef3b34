#include "fetch/http_client.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "fetch/content_decoding.h"
#include "text/text.h"

namespace tarnlow {
namespace {

// Each pooled handle keeps its own connection cache; a book's chapters go to
// one or two hosts, so a few live connections per handle are plenty.
constexpr long kMaxConnectsPerHandle = 8;
constexpr std::size_t kMaxPooledHandles = 16;
// A server that sends a byte now and then never trips the no-progress check,
// so the whole transfer has a deadline too: connecting, then this many
// no-progress periods. Without it such a page holds its chapter, and a cancel
// waiting for that chapter, for ever.
constexpr int kTransferPeriods = 5;

// Cookies and DNS answers are shared process-wide; connections are not (the
// connection cache must not be shared between concurrent threads), they stay
// with the pooled easy handles instead.
struct CurlGlobals {
  CURLSH* share = nullptr;
  std::mutex locks[CURL_LOCK_DATA_LAST];
  std::mutex poolMutex;
  std::vector<CURL*> pool;
};

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<CurlGlobals*>(user)->locks[data].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void* user) {
  static_cast<CurlGlobals*>(user)->locks[data].unlock();
}

// Never destroyed: a worker thread may still be in a request when static
// destructors would run.
CurlGlobals& Globals() {
  static CurlGlobals* globals = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    auto* g = new CurlGlobals;
    g->share = curl_share_init();
    if (g->share != nullptr) {
      curl_share_setopt(g->share, CURLSHOPT_LOCKFUNC, LockShare);
      curl_share_setopt(g->share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
      curl_share_setopt(g->share, CURLSHOPT_USERDATA, g);
      curl_share_setopt(g->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
      curl_share_setopt(g->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    return g;
  }();
  return *globals;
}

CURL* AcquireHandle() {
  CurlGlobals& g = Globals();
  {
    std::lock_guard lock(g.poolMutex);
    if (!g.pool.empty()) {
      CURL* handle = g.pool.back();
      g.pool.pop_back();
      return handle;
    }
  }
  return curl_easy_init();
}

void ReleaseHandle(CURL* handle) {
  // Dropping the cookie file list first: some libcurl versions lose it on
  // reset without freeing it. The shared cookies themselves stay.
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, nullptr);
  curl_easy_reset(handle);  // keeps the live connections
  CurlGlobals& g = Globals();
  {
    std::lock_guard lock(g.poolMutex);
    if (g.pool.size() < kMaxPooledHandles) {
      g.pool.push_back(handle);
      return;
    }
  }
  curl_easy_cleanup(handle);
}

struct Settings {
  std::mutex mutex;
  HttpTimeouts timeouts;
  std::string caFile;
};

Settings& GlobalSettings() {
  static Settings* settings = new Settings;
  return *settings;
}

// One request's inputs and what came back.
struct Transfer {
  std::string url;
  std::string method;  // upper case; empty: GET
  std::string proxy;
  std::vector<std::string> headerLines;
  std::string requestBody;
  HttpTimeouts timeouts;
  std::string caFile;
  const std::function<bool()>* stop = nullptr;

  std::string headers;  // of the answer being received
  bool headersComplete = false;
  std::string body;
  bool capped = false;
  bool stopped = false;
  CURLcode code = CURLE_OK;
  CURL* handle = nullptr;
  curl_off_t lastDownloaded = 0;
  curl_off_t lastUploaded = 0;
  std::chrono::steady_clock::time_point lastMoved;
  int requestsSent = 0;
  bool answerStarted = false;  // a byte of an answer to the last request came
};

bool StopAsked(Transfer& t) {
  if (t.stop == nullptr || !*t.stop || !(*t.stop)()) return false;
  t.stopped = true;
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i];
    char b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// The lines handed to the transport: two lines whose names differ only in
// letter case go out once, the first one kept.
std::vector<std::string> UniqueHeaderLines(std::string_view text) {
  std::vector<std::string> lines;
  std::unordered_set<std::string> seen;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;  // not a header line
    if (seen.insert(AsciiLower(line.substr(0, colon))).second) lines.emplace_back(line);
  }
  return lines;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  t.answerStarted = true;
  if (line.starts_with("HTTP/")) {  // a new answer: a redirect or 1xx came before
    t.headers.clear();
    t.headersComplete = false;
  }
  t.headers.append(line);
  if (line == "\r\n" || line == "\n") t.headersComplete = true;
  return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (StopAsked(t)) return 0;
  const size_t room = kMaxBodyBytes - t.body.size();
  if (bytes > room) {
    t.body.append(data, room);
    t.capped = true;
    return 0;  // ends the transfer; what came so far is kept
  }
  t.body.append(data, bytes);
  return bytes;
}

// libcurl sends a request once more on a new connection, unasked, when a
// kept-alive connection dies before any answer; a reset would then cost two
// requests per attempt. That second request is refused here, so each attempt
// is one request; a redirect, which follows an answer, still goes out.
int OnPrerequest(void* user, char*, char*, int, int) {
  auto& t = *static_cast<Transfer*>(user);
  if (t.requestsSent > 0 && !t.answerStarted) return CURL_PREREQFUNC_ABORT;
  ++t.requestsSent;
  t.answerStarted = false;
  return CURL_PREREQFUNC_OK;
}

// Ends a transfer that moved no byte for the no-progress time once the
// connection is up. libcurl's own low-speed check averages over several
// seconds, so after a burst it notices a stall late; this one is exact. The
// caller's stop predicate is asked here too.
int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto& t = *static_cast<Transfer*>(user);
  if (StopAsked(t)) return 1;
  const auto now = std::chrono::steady_clock::now();
  curl_off_t connected = 0;
  curl_easy_getinfo(t.handle, CURLINFO_PRETRANSFER_TIME_T, &connected);
  if (downloaded != t.lastDownloaded || uploaded != t.lastUploaded || connected == 0) {
    t.lastDownloaded = downloaded;
    t.lastUploaded = uploaded;
    t.lastMoved = now;
    return 0;
  }
  return now - t.lastMoved > t.timeouts.noProgress ? 1 : 0;
}

// Certificates whose only fault is their date are accepted; the store's error
// is reset too, or the transport still fails on the verify result.
int ForgiveDateErrors(int preverified, X509_STORE_CTX* store) {
  if (preverified == 1) return 1;
  const int error = X509_STORE_CTX_get_error(store);
  if (error == X509_V_ERR_CERT_HAS_EXPIRED || error == X509_V_ERR_CERT_NOT_YET_VALID) {
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
  }
  return 0;
}

CURLcode OnSslContext(CURL*, void* sslContext, void*) {
  SSL_CTX_set_verify(static_cast<SSL_CTX*>(sslContext), SSL_VERIFY_PEER, ForgiveDateErrors);
  return CURLE_OK;
}

long WholeSeconds(std::chrono::milliseconds ms) {
  return std::max<long>(1, static_cast<long>((ms.count() + 999) / 1000));
}

void Perform(Transfer& t) {
  CURL* handle = AcquireHandle();
  if (handle == nullptr) {
    t.code = CURLE_FAILED_INIT;
    return;
  }
  curl_slist* headerList = nullptr;
  for (const std::string& line : t.headerLines) {
    headerList = curl_slist_append(headerList, line.c_str());
  }
  // The block carries its own accept line; curl would otherwise add one, and
  // an Expect handshake before a POST body.
  headerList = curl_slist_append(headerList, "Accept:");
  headerList = curl_slist_append(headerList, "Expect:");

  t.handle = handle;
  t.lastMoved = std::chrono::steady_clock::now();
  CurlGlobals& g = Globals();
  curl_easy_setopt(handle, CURLOPT_URL, t.url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXCONNECTS, kMaxConnectsPerHandle);
  if (g.share != nullptr) curl_easy_setopt(handle, CURLOPT_SHARE, g.share);
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");  // cookie engine on, no file
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headerList);
  curl_easy_setopt(handle, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, OnPrerequest);
  curl_easy_setopt(handle, CURLOPT_PREREQDATA, &t);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(t.timeouts.connect.count()));
  const std::chrono::milliseconds deadline =
      t.timeouts.transfer.count() > 0
          ? t.timeouts.transfer
          : t.timeouts.connect + kTransferPeriods * t.timeouts.noProgress;
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(deadline.count()));
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, WholeSeconds(t.timeouts.noProgress));
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, OnSslContext);
  if (!t.caFile.empty()) curl_easy_setopt(handle, CURLOPT_CAINFO, t.caFile.c_str());
  if (!t.proxy.empty()) curl_easy_setopt(handle, CURLOPT_PROXY, t.proxy.c_str());

  if (t.method.empty() || t.method == "GET") {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
  } else if (t.method == "POST") {
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(t.requestBody.size()));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, t.requestBody.data());
  } else if (t.method == "HEAD") {
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, t.method.c_str());
  }

  t.code = curl_easy_perform(handle);
  t.handle = nullptr;
  curl_slist_free_all(headerList);
  ReleaseHandle(handle);
}

std::string CookiesOf(std::string_view headers) {
  std::string cookies;
  for (std::string_view value : HeaderValues(headers, "Set-Cookie")) {
    if (!cookies.empty()) cookies += "\r\n";
    cookies += value;
  }
  return cookies;
}

HttpResult ResultOf(Transfer& t) {
  // A cut body keeps its headers, and a redirect that is not followed (one
  // too many, or to a scheme other than http and https) is its own 3xx
  // answer; any other failure, even one after the headers came, counts as no
  // answer.
  const bool unfollowedRedirect =
      t.code == CURLE_TOO_MANY_REDIRECTS || t.code == CURLE_UNSUPPORTED_PROTOCOL;
  const bool answered =
      !t.stopped && t.headersComplete &&
      (t.code == CURLE_OK || unfollowedRedirect || (t.code == CURLE_WRITE_ERROR && t.capped));
  HttpResult result;
  result.curlCode = static_cast<int>(t.code);
  result.stopped = t.stopped;
  if (!answered) return result;
  result.body = std::move(t.body);
  result.responseHeaders = std::move(t.headers);
  result.cookies = CookiesOf(result.responseHeaders);
  result.capped = t.capped;
  return result;
}

bool IsHttpUrl(std::string_view url) {
  return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

}  // namespace

std::string BuildRequestHeaderText(std::string_view headers, std::string_view url,
                                   std::string_view method, bool acceptCompressed) {
  std::string text(headers);
  if (!text.empty() && !text.ends_with("\r\n")) text += "\r\n";
  const auto addDefault = [&text](std::string_view name, std::string_view line) {
    if (text.find(name) == std::string::npos) text += line;
  };
  addDefault("User-Agent: ",
             "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; SV1; .NET CLR "
             "2.0.50727) ZephloomHTTP\r\n");
  addDefault("Accept: ",
             "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
             "application/x-shockwave-flash, application/vnd.ms-excel, "
             "application/vnd.ms-powerpoint, application/msword, */*\r\n");
  addDefault("Referer: ", "Referer: " + std::string(url) + "\r\n");
  addDefault("Accept-Language: ", "Accept-Language: zh-cn\r\n");
  if (acceptCompressed) addDefault("Accept-Encoding: ", "Accept-Encoding: gzip, deflate\r\n");
  if (AsciiUpper(method) == "POST") {
    addDefault("Content-Type: ", "Content-Type: application/x-www-form-urlencoded\r\n");
  }
  return text;
}

// The request flags (pragma no-cache and the like) need no translation: there
// is no cache between this layer and the server, and redirects and the
// certificate date rules are always on.
HttpResult HttpRequest(std::string_view url, std::string_view method, std::string_view proxy,
                       std::string_view headers, std::string_view body, bool acceptCompressed,
                       unsigned /*flags*/, const std::function<bool()>& stop) {
  while (!url.empty() && (url.front() == ' ' || (url.front() >= '\t' && url.front() <= '\r'))) {
    url.remove_prefix(1);
  }
  if (!IsHttpUrl(url)) {
    HttpResult refused;
    refused.curlCode = CURLE_UNSUPPORTED_PROTOCOL;
    return refused;
  }

  Transfer t;
  t.url = std::string(url);
  t.method = AsciiUpper(method);
  t.proxy = std::string(proxy);
  t.headerLines = UniqueHeaderLines(BuildRequestHeaderText(headers, url, method, acceptCompressed));
  if (t.method == "POST") t.requestBody = std::string(body);
  t.stop = &stop;
  {
    Settings& s = GlobalSettings();
    std::lock_guard lock(s.mutex);
    t.timeouts = s.timeouts;
    t.caFile = s.caFile;
  }
  Perform(t);
  return ResultOf(t);
}

HttpTimeouts CurrentTimeouts() {
  Settings& s = GlobalSettings();
  std::lock_guard lock(s.mutex);
  return s.timeouts;
}

void SetTimeoutsForTest(const HttpTimeouts& timeouts) {
  Settings& s = GlobalSettings();
  std::lock_guard lock(s.mutex);
  s.timeouts = timeouts;
}

void SetCaFileForTest(std::string path) {
  Settings& s = GlobalSettings();
  std::lock_guard lock(s.mutex);
  s.caFile = std::move(path);
}

std::vector<std::string_view> HeaderValues(std::string_view headers, std::string_view name) {
  std::vector<std::string_view> values;
  std::size_t pos = 0;
  while (pos < headers.size()) {
    std::size_t end = headers.find("\r\n", pos);
    if (end == std::string_view::npos) end = headers.size();
    std::string_view line = headers.substr(pos, end - pos);
    pos = end + 2;
    if (line.size() <= name.size() || line[name.size()] != ':') continue;
    if (AsciiLower(line.substr(0, name.size())) != AsciiLower(name)) continue;
    values.push_back(TrimBlanks(line.substr(name.size() + 1)));
  }
  return values;
}

}  // namespace tarnlow

// FetchPage and the client layer against local servers.

#include "fetch/fetch_page.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fetch/http_client.h"
#include "tests/support/certificates.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

using namespace std::chrono_literals;
using test::Gbk;
using test::RawConnection;
using test::RawServer;
using test::TestServer;

std::string NetworkFailure() { return Gbk(" 网页获取失败！错误代码：\r\n\r\n 网络异常"); }

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

// The header lines of a raw request, without the request line, Host and the
// blank line that ends it.
std::vector<std::string> SentHeaderLines(const std::string& request) {
  std::vector<std::string> lines;
  for (const std::string& line : Lines(request.substr(0, request.find("\r\n\r\n")))) {
    if (line.starts_with("GET ") || line.starts_with("POST ") || line.starts_with("Host: ")) {
      continue;
    }
    lines.push_back(line);
  }
  return lines;
}

TEST(FetchPage, GbkAndUtf8Pages) {
  TestServer server;
  const std::string gbkPage =
      Gbk("<html><head><meta charset=gbk><title>书</title></head>\r\n<p>第一章&nbsp;开始</p>");
  server.Serve("/gbk.html", gbkPage);
  const std::string utf8Page =
      "<html><head><meta charset=\"UTF-8\"><title>书</title></head>\r\n<p>第一章&nbsp;开始</p>";
  server.Serve("/utf8.html", utf8Page, "text/html; charset=utf-8");

  EXPECT_EQ(ShownText(FetchPage(server.Url("/gbk.html"))),
            Gbk("<html><head><meta charset=gbk><title>书</title></head><p>第一章 开始</p>"));
  EXPECT_EQ(ShownText(FetchPage(server.Url("/utf8.html"))),
            Gbk("<html><head><meta charset=\"UTF-8\"><title>书</title></head><p>第一章 开始</p>"));
}

TEST(FetchPage, CompressedAnswers) {
  TestServer server;
  const std::string page = "<html><head></head><body>" + std::string(3000, 'x') + "</body></html>";
  server.Serve("/gzip", test::GzipBytes(page), "text/html", 200, {{"Content-Encoding", "gzip"}});
  server.Serve("/deflate", test::ZlibBytes(page), "text/html", 200,
               {{"Content-Encoding", "deflate"}});
  server.Serve("/raw-deflate", test::RawDeflateBytes(page), "text/html", 200,
               {{"Content-Encoding", "deflate"}});
  server.Serve("/br", test::BrotliBytes(page), "text/html", 200, {{"Content-Encoding", "br"}});
  for (const char* path : {"/gzip", "/deflate", "/raw-deflate", "/br"}) {
    EXPECT_EQ(ShownText(FetchPage(server.Url(path))), page) << path;
  }
  // The server library compressing on its own, as real servers do.
  server.SetAutoCompression(true);
  server.Serve("/auto", page);
  EXPECT_EQ(ShownText(FetchPage(server.Url("/auto"))), page);
  EXPECT_FALSE(server.LastRequest("/auto")->Header("Accept-Encoding").empty());
}

TEST(FetchPage, StatusFailuresAndEmptyAnswers) {
  TestServer server;
  server.Serve("/missing", "not here", "text/html", 404);
  server.Serve("/busy", "later", "text/html", 503);
  server.Serve("/empty", "");
  server.Serve("/zero", std::string("before\0after", 12));
  EXPECT_EQ(ShownText(FetchPage(server.Url("/missing"))),
            Gbk(" 网页获取失败！错误代码：\r\n\r\nHTTP/1.1 404 Not Found"));
  EXPECT_EQ(ShownText(FetchPage(server.Url("/busy"))),
            Gbk(" 网页获取失败！错误代码：\r\n\r\nHTTP/1.1 503 Service Unavailable"));
  EXPECT_EQ(ShownText(FetchPage(server.Url("/empty"))), "");
  EXPECT_EQ(ShownText(FetchPage(server.Url("/zero"))), "before");
}

TEST(FetchPage, UnreachableAndMalformedAddresses) {
  int port = 0;
  {
    RawServer closed([](RawConnection&) {});
    port = closed.Port();
  }
  EXPECT_EQ(ShownText(FetchPage("http://127.0.0.1:" + std::to_string(port) + "/")),
            NetworkFailure());
  EXPECT_EQ(ShownText(FetchPage("")), NetworkFailure());
  EXPECT_EQ(ShownText(FetchPage("127.0.0.1/no-scheme")), NetworkFailure());
  EXPECT_EQ(ShownText(FetchPage("file:///etc/hostname")), NetworkFailure());
}

TEST(FetchPage, RedirectsAreFollowedBetweenHttpAndHttps) {
  test::ScopedTestCa trust;
  TestServer tls(test::Certificates().good);
  TestServer plain;
  tls.Serve("/page", "secure page");
  plain.Serve("/back", "plain page");
  plain.Get("/to-https", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(tls.Url("/page"), 301);
  });
  tls.Get("/to-http", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(plain.Url("/back"), 302);
  });
  EXPECT_EQ(ShownText(FetchPage(plain.Url("/to-https"))), "secure page");
  EXPECT_EQ(ShownText(FetchPage(tls.Url("/to-http"))), "plain page");

  const HttpResult result = HttpRequest(plain.Url("/to-https"), "", "", "", "", false, 0);
  EXPECT_TRUE(result.responseHeaders.starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(result.responseHeaders.find("Location"), std::string::npos);
}

// The layer gives up after 20 redirects; the user sees the last one.
TEST(FetchPage, RedirectLoopEndsWithTheRedirectNotFollowed) {
  TestServer server;
  server.Get("/loop/(\\d+)", [](const httplib::Request& req, httplib::Response& res) {
    res.set_redirect("/loop/" + std::to_string(std::stoi(req.matches[1].str()) + 1), 302);
  });
  EXPECT_EQ(ShownText(FetchPage(server.Url("/loop/0"))),
            FetchFailedMarker() + "\r\n\r\nHTTP/1.1 302 Found");
  EXPECT_EQ(server.Requests().size(), 21u);
}

TEST(FetchPage, TlsCertificateRules) {
  test::ScopedTestCa trust;
  const test::TestCertificates& certificates = test::Certificates();
  struct Case {
    const char* name;
    const test::CertificateFiles& files;
    bool accepted;
  } cases[] = {{"good", certificates.good, true},
               {"wrong host name", certificates.wrongHost, true},
               {"expired", certificates.expired, true},
               {"not yet valid", certificates.notYetValid, true},
               {"self-signed", certificates.selfSigned, false},
               {"unknown issuer", certificates.unknownIssuer, false}};
  for (const Case& c : cases) {
    TestServer server(c.files);
    server.Serve("/", "hello");
    EXPECT_EQ(ShownText(FetchPage(server.Url("/"))), c.accepted ? "hello" : NetworkFailure())
        << c.name;
  }
}

TEST(FetchPage, ExactRequestHeaderBlock) {
  RawServer server(RawServer::Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"));
  const std::string url = server.Url("/book/1.html?x=1");
  ASSERT_EQ(ShownText(FetchPage(url)), "ok");
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_TRUE(request.starts_with("GET /book/1.html?x=1 HTTP/1.1\r\n")) << request;
  const std::vector<std::string> expected = {
      "accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,image/apng,*/"
      "*;q=0.8,application/signed-exchange;v=b3;q=0.9",
      "accept-encoding: gzip, deflate, br",
      "accept-language: zh-CN,zh;q=0.9,en;q=0.8,en-GB;q=0.7,en-US;q=0.6",
      "cache-control: max-age=0",
      R"(sec-ch-ua: " Not A;Brand";v="99", "Chromium";v="102", "Microsoft Edge";v="102")",
      "sec-ch-ua-mobile: ?0",
      R"(sec-ch-ua-platform: "Windows")",
      "sec-fetch-dest: document",
      "sec-fetch-mode: navigate",
      "sec-fetch-site: none",
      "sec-fetch-user: ?1",
      "upgrade-insecure-requests: 1",
      "user-agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like "
      "Gecko) Chrome/102.0.5005.63 Safari/537.36 Edg/102.0.1245.33",
      "Referer: " + url};
  EXPECT_EQ(SentHeaderLines(request), expected);
}

TEST(HttpRequest, DefaultsAppendedInOrderWithNothingFromTheTransport) {
  // The server closes after each answer; it says so, or the second request
  // could go out on the closing connection and count as a failed attempt.
  RawServer server(
      RawServer::Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
  const std::string url = server.Url("/p");
  (void)HttpRequest(url, "", "", "", "", true, 256);
  (void)HttpRequest(url, "post", "", "X-One: 1\r\nx-one: 2\r\nUser-Agent: mine", "a=1", false, 0);
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(SentHeaderLines(requests[0]),
            (std::vector<std::string>{
                "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; SV1; .NET CLR "
                "2.0.50727) ZephloomHTTP",
                "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                "application/x-shockwave-flash, application/vnd.ms-excel, "
                "application/vnd.ms-powerpoint, application/msword, */*",
                "Referer: " + url, "Accept-Language: zh-cn", "Accept-Encoding: gzip, deflate"}));
  EXPECT_TRUE(requests[1].starts_with("POST /p HTTP/1.1\r\n"));
  EXPECT_TRUE(requests[1].ends_with("\r\n\r\na=1"));
  const std::vector<std::string> postLines = SentHeaderLines(requests[1]);
  const std::vector<std::string> expectedPost = {
      "X-One: 1",
      "User-Agent: mine",
      "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
      "application/x-shockwave-flash, application/vnd.ms-excel, "
      "application/vnd.ms-powerpoint, application/msword, */*",
      "Referer: " + url,
      "Accept-Language: zh-cn",
      "Content-Type: application/x-www-form-urlencoded",
      "Content-Length: 3"};
  EXPECT_EQ(postLines, expectedPost);
}

TEST(HttpRequest, HeaderTextRules) {
  const std::string ua =
      "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727) "
      "ZephloomHTTP\r\n";
  const std::string tail =
      "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
      "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
      "application/msword, */*\r\nReferer: http://a.b/c\r\nAccept-Language: zh-cn\r\n";
  EXPECT_EQ(BuildRequestHeaderText("", "http://a.b/c", "", false), ua + tail);
  EXPECT_EQ(BuildRequestHeaderText("X: 1", "http://a.b/c", "GET", false), "X: 1\r\n" + ua + tail);
  EXPECT_EQ(BuildRequestHeaderText("User-Agent: me\r\n", "http://a.b/c", "", false),
            "User-Agent: me\r\n" + tail);
  EXPECT_EQ(BuildRequestHeaderText("user-agent: me", "http://a.b/c", "", false),
            "user-agent: me\r\n" + ua + tail);
  EXPECT_EQ(BuildRequestHeaderText("", "http://a.b/c", "post", true),
            ua + tail +
                "Accept-Encoding: gzip, deflate\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\n");
}

TEST(HttpRequest, CookiesGoBackOnLaterRequests) {
  TestServer server;
  server.Get("/cookie/set", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Set-Cookie", "session=abc; Path=/cookie");
    res.set_header("Set-Cookie", "theme=dark; Path=/cookie");
    res.set_content("set", "text/plain");
  });
  server.Serve("/cookie/check", "checked");
  const HttpResult set = HttpRequest(server.Url("/cookie/set"), "", "", "", "", false, 0);
  EXPECT_EQ(set.cookies, "session=abc; Path=/cookie\r\ntheme=dark; Path=/cookie");
  EXPECT_EQ(ShownText(FetchPage(server.Url("/cookie/check"))), "checked");
  const std::string cookie = server.LastRequest("/cookie/check")->Header("Cookie");
  EXPECT_NE(cookie.find("session=abc"), std::string::npos) << cookie;
  EXPECT_NE(cookie.find("theme=dark"), std::string::npos) << cookie;
}

TEST(HttpRequest, ConnectionsAreReused) {
  RawServer server([](RawConnection& connection) {
    while (!connection.ReadRequest().empty()) {
      connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage");
    }
  });
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(ShownText(FetchPage(server.Url("/n" + std::to_string(i)))), "page");
  EXPECT_EQ(server.Requests().size(), 5u);
  EXPECT_EQ(server.ConnectionCount(), 1);
}

// Each ends at the 1 s no-progress limit (or at once), long before the whole
// transfer's deadline of 20 s + 5 x 1 s.
TEST(HttpRequest, ServersThatMisbehave) {
  test::ScopedTimeouts shortWait({20000ms, 1000ms});
  RawServer silent(RawServer::NeverAnswer());
  RawServer stalls([](RawConnection& connection) {
    connection.ReadRequest();
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
    connection.WaitForStop();
  });
  RawServer resets([](RawConnection& connection) {
    connection.ReadRequest();
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
    std::this_thread::sleep_for(50ms);
    connection.Reset();
  });
  const std::pair<const char*, RawServer*> servers[] = {
      {"never answers", &silent}, {"stalls mid-body", &stalls}, {"resets mid-body", &resets}};
  for (const auto& [name, server] : servers) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ShownText(FetchPage(server->Url("/"))), NetworkFailure()) << name;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s) << name;
  }
}

TEST(HttpRequest, BodyIsCutAt64MiB) {
  TestServer server;
  constexpr std::size_t kSent = (std::size_t{64} << 20) + 300000;
  server.Get("/huge", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(kSent, "application/octet-stream",
                             [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                               const std::string chunk(std::min<std::size_t>(length, 1 << 16),
                                                       static_cast<char>('a' + offset % 26));
                               sink.write(chunk.data(), chunk.size());
                               return true;
                             });
  });
  const HttpResult result = HttpRequest(server.Url("/huge"), "", "", "", "", false, 0);
  EXPECT_EQ(result.body.size(), std::size_t{64} << 20);
  EXPECT_TRUE(result.capped);
  EXPECT_TRUE(result.responseHeaders.starts_with("HTTP/1.1 200 OK\r\n"));
}

TEST(FetchPage, RealPages) {
  const auto utf8 = test::RealPage("biquge/xbiquge_la_chapter_sancunrenjian_672.html");
  const auto gbk = test::RealPage("biquge/biquge_com_tw_chapter_7633258.html");
  if (!utf8 || !gbk) GTEST_SKIP() << "saved real pages not available";
  TestServer server;
  server.Serve("/utf8.html", *utf8);
  server.Serve("/gbk.html", *gbk);
  // A site that wrongly announces UTF-8 for its GBK page.
  server.Serve("/gbk-announced-utf8.html", *gbk, "text/html; charset=utf-8");

  const std::string fromUtf8 = ShownText(FetchPage(server.Url("/utf8.html")));
  EXPECT_NE(fromUtf8.find(Gbk("<title>三寸人间_正文卷 第672章 禁忌！_修真小说_新笔趣阁</title>")),
            std::string::npos);
  EXPECT_EQ(fromUtf8.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(fromUtf8, Utf8ToAnsi(DecodeEntities(*utf8)));

  EXPECT_EQ(ShownText(FetchPage(server.Url("/gbk.html"))), DecodeEntities(*gbk));
  EXPECT_EQ(ShownText(FetchPage(server.Url("/gbk-announced-utf8.html"))), DecodeEntities(*gbk));
}

TEST(OpenInBrowser, StartsTheOpenerFoundOnThePath) {
  test::TempDir folder;
  const std::filesystem::path opened = folder.Path() / "opened.txt";
  const std::filesystem::path opener =
      folder.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened.string() + "'\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath != nullptr ? oldPath : "";

  setenv("PATH", (folder.Path() / "empty").c_str(), 1);
  EXPECT_FALSE(OpenInBrowser("http://127.0.0.1/x"));
  setenv("PATH", (folder.Path() / "bin").c_str(), 1);
  EXPECT_TRUE(OpenInBrowser("http://127.0.0.1/book/"));
  setenv("PATH", savedPath.c_str(), 1);

  const auto deadline = std::chrono::steady_clock::now() + 5s;
  std::optional<std::string> written;
  while (std::chrono::steady_clock::now() < deadline) {
    written = test::ReadFile(opened);
    if (written && !written->empty()) break;
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(written.value_or(""), "http://127.0.0.1/book/");
}

}  // namespace
}  // namespace tarnlow

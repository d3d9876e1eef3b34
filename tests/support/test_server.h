#pragma once
// Local servers for the networked tests. Both listen on 127.0.0.1 on a port
// the system picks, start in their constructor and stop in their destructor.
//
//   TestServer server;
//   server.Serve("/book/1.html", Gbk("<html>第一章</html>"));
//   server.Get("/slow", [](const httplib::Request&, httplib::Response& res) { ... });
//   FetchPage(server.Url("/book/1.html"));
//
// Addresses are always written with 127.0.0.1, never localhost: the
// program's address rules want a dot in the host.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <httplib.h>

#include "tests/support/certificates.h"

namespace tarnlow::test {

struct LoggedRequest {
  std::string method;
  std::string path;
  std::string query;  // after "?", as sent
  std::string body;
  // The header lines as the HTTP library hands them over: every line that
  // came, but ordered by name, not by arrival. Tests of the exact header
  // block use RawServer, which keeps the request bytes verbatim.
  std::vector<std::pair<std::string, std::string>> headers;

  // First value of that header (any letter case), empty when absent.
  std::string Header(std::string_view name) const;
  // How many lines of that name (any letter case) came.
  int HeaderCount(std::string_view name) const;
};

class TestServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
  using Headers = std::vector<std::pair<std::string, std::string>>;

  TestServer();                                              // http
  explicit TestServer(const CertificateFiles& certificate);  // https
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int Port() const { return m_port; }
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  const std::string& BaseUrl() const { return m_baseUrl; }
  std::string Url(std::string_view path) const { return m_baseUrl + std::string(path); }

  // A route for GET (or POST) requests whose path matches `pattern` as a
  // whole regular expression. Routes can be added while the server runs; a
  // later route for the same path wins. Unrouted paths get a 404.
  void Get(std::string pattern, Handler handler);
  void Post(std::string pattern, Handler handler);

  // A fixed answer for GET requests of exactly `path`. The body goes out as
  // given (already compressed, say, with the matching Content-Encoding in
  // `headers`).
  void Serve(const std::string& path, std::string body, std::string contentType = "text/html",
             int status = 200, Headers headers = {});

  // The HTTP library compresses text answers on its own when the request
  // accepts it; that is off unless a test asks for it.
  void SetAutoCompression(bool on) { m_autoCompression = on; }

  std::vector<LoggedRequest> Requests() const;
  std::optional<LoggedRequest> LastRequest(std::string_view path) const;
  int RequestCount(std::string_view path) const;
  void ClearRequests();

 private:
  struct Route {
    std::string method;
    std::string pattern;
    Handler handler;
  };
  void Start();
  void Dispatch(const std::string& method, const httplib::Request& request,
                httplib::Response& response);

  std::unique_ptr<httplib::Server> m_server;
  std::thread m_thread;
  int m_port = 0;
  std::string m_baseUrl;
  std::atomic<bool> m_autoCompression{false};
  mutable std::mutex m_mutex;
  std::vector<Route> m_routes;
  std::vector<LoggedRequest> m_requests;
};

// One accepted connection of a RawServer. Every blocking call returns when
// the server shuts down.
class RawConnection {
 public:
  RawConnection(int fd, int stopFd, class RawServer& server) noexcept
      : m_fd(fd), m_stopFd(stopFd), m_server(server) {}

  int Fd() const { return m_fd; }
  // Reads one request (its head, and a body of Content-Length bytes) and
  // records its bytes verbatim. Empty when the peer closed or the server stops.
  std::string ReadRequest();
  bool Send(std::string_view bytes);
  // Blocks until the peer closes the connection or the server stops.
  void WaitForStop();
  // Aborts the connection: the peer sees a reset, not an orderly close.
  void Reset();
  bool WasReset() const { return m_reset; }

 private:
  // Waits until the socket is readable; false when the server stops first.
  bool WaitReadable();

  int m_fd;
  int m_stopFd;
  RawServer& m_server;
  std::string m_pending;
  bool m_reset = false;
};

// A plain TCP listener for servers that misbehave: each accepted connection
// is handed to the handler on a thread of its own and closed when the
// handler returns.
class RawServer {
 public:
  using Handler = std::function<void(RawConnection&)>;

  explicit RawServer(Handler handler);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int Port() const { return m_port; }
  const std::string& BaseUrl() const { return m_baseUrl; }
  std::string Url(std::string_view path) const { return m_baseUrl + std::string(path); }

  // The raw requests read through RawConnection::ReadRequest, in order.
  std::vector<std::string> Requests() const;
  int ConnectionCount() const { return m_connections.load(); }

  // Reads one request and answers it with this fixed response, then closes.
  static Handler Answer(std::string response);
  // Accepts and never answers; the connection stays open until the client
  // gives up or the server stops.
  static Handler NeverAnswer();

 private:
  friend class RawConnection;
  void AcceptLoop();
  void Record(std::string request);

  Handler m_handler;
  int m_listenFd = -1;
  int m_stopFd = -1;  // an eventfd, readable once stopping
  int m_port = 0;
  std::string m_baseUrl;
  std::atomic<int> m_connections{0};
  std::thread m_acceptThread;
  mutable std::mutex m_mutex;
  std::set<int> m_openFds;
  std::vector<std::thread> m_connectionThreads;
  std::vector<std::string> m_requests;
};

}  // namespace tarnlow::test

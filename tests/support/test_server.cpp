#include "tests/support/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>

#include "text/text.h"

namespace tarnlow::test {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

[[noreturn]] void Fail(const char* what) {
  std::perror(what);
  std::abort();
}

}  // namespace

std::string LoggedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualNoCase(key, name)) return value;
  }
  return {};
}

int LoggedRequest::HeaderCount(std::string_view name) const {
  int count = 0;
  for (const auto& entry : headers) count += EqualNoCase(entry.first, name) ? 1 : 0;
  return count;
}

TestServer::TestServer() : m_server(std::make_unique<httplib::Server>()) {
  Start();
  m_baseUrl = "http://127.0.0.1:" + std::to_string(m_port);
}

TestServer::TestServer(const CertificateFiles& certificate)
    : m_server(std::make_unique<httplib::SSLServer>(certificate.certificate.c_str(),
                                                    certificate.privateKey.c_str())) {
  if (!m_server->is_valid()) Fail("TLS test server certificate");
  Start();
  m_baseUrl = "https://127.0.0.1:" + std::to_string(m_port);
}

void TestServer::Start() {
  // One catch-all route per method; the test's routes live in our own table
  // so they can change under a lock while the server runs.
  m_server->Get(".*", [this](const auto& req, auto& res) { Dispatch("GET", req, res); });
  m_server->Post(".*", [this](const auto& req, auto& res) { Dispatch("POST", req, res); });
  m_server->Put(".*", [this](const auto& req, auto& res) { Dispatch("PUT", req, res); });
  m_server->Delete(".*", [this](const auto& req, auto& res) { Dispatch("DELETE", req, res); });
  // A kept-alive connection holds the server's stop for seconds; the client
  // layer keeps its connections, so every answer closes its own instead.
  m_server->set_keep_alive_max_count(1);
  m_port = m_server->bind_to_any_port("127.0.0.1");
  if (m_port <= 0) Fail("test server bind");
  m_thread = std::thread([this] { m_server->listen_after_bind(); });
  // stop() only works once the server runs; wait for that.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!m_server->is_running()) {
    if (std::chrono::steady_clock::now() > deadline) Fail("test server start");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TestServer::~TestServer() {
  m_server->stop();
  if (m_thread.joinable()) m_thread.join();
}

void TestServer::Get(std::string pattern, Handler handler) {
  std::lock_guard lock(m_mutex);
  m_routes.push_back({"GET", std::move(pattern), std::move(handler)});
}

void TestServer::Post(std::string pattern, Handler handler) {
  std::lock_guard lock(m_mutex);
  m_routes.push_back({"POST", std::move(pattern), std::move(handler)});
}

void TestServer::Serve(const std::string& path, std::string body, std::string contentType,
                       int status, Headers headers) {
  Get(std::regex_replace(path, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"),
      [body = std::move(body), contentType = std::move(contentType), status,
       headers = std::move(headers)](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        for (const auto& [name, value] : headers) res.set_header(name, value);
        res.set_content(body, contentType);
      });
}

void TestServer::Dispatch(const std::string& method, const httplib::Request& request,
                          httplib::Response& response) {
  LoggedRequest logged;
  logged.method = request.method;
  logged.path = request.path;
  if (const std::size_t q = request.target.find('?'); q != std::string::npos) {
    logged.query = request.target.substr(q + 1);
  }
  logged.body = request.body;
  for (const auto& entry : request.headers) logged.headers.push_back(entry);

  Handler handler;
  {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(std::move(logged));
    for (auto it = m_routes.rbegin(); it != m_routes.rend(); ++it) {
      if (it->method != method) continue;
      // The handler reads its captures from the request, as with the
      // library's own routes.
      auto& matches = const_cast<httplib::Request&>(request).matches;
      if (std::regex_match(request.path, matches, std::regex(it->pattern))) {
        handler = it->handler;
        break;
      }
    }
  }
  if (!m_autoCompression) {
    // The library reads the request's accepted codings when it writes the
    // answer; without them it sends the body as the handler made it.
    const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");
  }
  if (!handler) {
    response.status = 404;
    response.set_content("no route", "text/plain");
    return;
  }
  handler(request, response);
}

std::vector<LoggedRequest> TestServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

std::optional<LoggedRequest> TestServer::LastRequest(std::string_view path) const {
  std::lock_guard lock(m_mutex);
  for (auto it = m_requests.rbegin(); it != m_requests.rend(); ++it) {
    if (it->path == path) return *it;
  }
  return std::nullopt;
}

int TestServer::RequestCount(std::string_view path) const {
  std::lock_guard lock(m_mutex);
  int count = 0;
  for (const LoggedRequest& request : m_requests) count += request.path == path ? 1 : 0;
  return count;
}

void TestServer::ClearRequests() {
  std::lock_guard lock(m_mutex);
  m_requests.clear();
}

bool RawConnection::WaitReadable() {
  pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
  for (;;) {
    const int ready = poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return false;
    return true;
  }
}

std::string RawConnection::ReadRequest() {
  if (m_fd < 0) return {};
  std::size_t headEnd = std::string::npos;
  std::size_t total = 0;
  char buffer[4096];
  for (;;) {
    if (headEnd == std::string::npos) {
      headEnd = m_pending.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        headEnd += 4;
        std::size_t length = 0;
        const std::string head = m_pending.substr(0, headEnd);
        // Plain string work, not std::regex: this runs on several connection
        // threads at once, and the regex library's locale caches are shared.
        const std::string lower = AsciiLower(head);
        if (std::size_t at = lower.find("\r\ncontent-length:"); at != std::string::npos) {
          at += 17;
          while (at < lower.size() && (lower[at] == ' ' || lower[at] == '\t')) ++at;
          while (at < lower.size() && lower[at] >= '0' && lower[at] <= '9') {
            length = length * 10 + static_cast<std::size_t>(lower[at++] - '0');
          }
        }
        total = headEnd + length;
      }
    }
    if (headEnd != std::string::npos && m_pending.size() >= total) break;
    if (!WaitReadable()) return {};
    const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
    if (got <= 0) return {};
    m_pending.append(buffer, static_cast<std::size_t>(got));
  }
  std::string request = m_pending.substr(0, total);
  m_pending.erase(0, total);
  m_server.Record(request);
  return request;
}

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty() && m_fd >= 0) {
    const ssize_t sent = send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return bytes.empty();
}

void RawConnection::WaitForStop() {
  char buffer[4096];
  while (m_fd >= 0 && WaitReadable()) {
    if (recv(m_fd, buffer, sizeof buffer, 0) <= 0) return;
  }
}

void RawConnection::Reset() {
  if (m_fd < 0) return;
  const linger abort{1, 0};
  setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  {
    std::lock_guard lock(m_server.m_mutex);
    m_server.m_openFds.erase(m_fd);
    close(m_fd);
  }
  m_fd = -1;
  m_reset = true;
}

RawServer::RawServer(Handler handler) : m_handler(std::move(handler)) {
  m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listenFd < 0) Fail("raw server socket");
  const int on = 1;
  setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(m_listenFd, 64) != 0) {
    Fail("raw server bind");
  }
  socklen_t length = sizeof address;
  getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
  m_port = ntohs(address.sin_port);
  m_baseUrl = "http://127.0.0.1:" + std::to_string(m_port);
  m_stopFd = eventfd(0, EFD_CLOEXEC);
  if (m_stopFd < 0) Fail("raw server eventfd");
  m_acceptThread = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
  const std::uint64_t one = 1;
  if (write(m_stopFd, &one, sizeof one) != sizeof one) Fail("raw server stop");
  m_acceptThread.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(m_mutex);
    for (const int fd : m_openFds) shutdown(fd, SHUT_RDWR);
    threads.swap(m_connectionThreads);
  }
  for (std::thread& thread : threads) thread.join();
  close(m_listenFd);
  close(m_stopFd);
}

void RawServer::AcceptLoop() {
  pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents & POLLIN) return;
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(m_mutex);
    m_openFds.insert(fd);
    m_connections.fetch_add(1);
    m_connectionThreads.emplace_back([this, fd] {
      RawConnection connection(fd, m_stopFd, *this);
      m_handler(connection);
      if (connection.Fd() >= 0) {
        std::lock_guard closeLock(m_mutex);
        m_openFds.erase(fd);
        close(fd);
      }
    });
  }
}

void RawServer::Record(std::string request) {
  std::lock_guard lock(m_mutex);
  m_requests.push_back(std::move(request));
}

std::vector<std::string> RawServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

RawServer::Handler RawServer::Answer(std::string response) {
  return [response = std::move(response)](RawConnection& connection) {
    if (!connection.ReadRequest().empty()) connection.Send(response);
  };
}

RawServer::Handler RawServer::NeverAnswer() {
  return [](RawConnection& connection) { connection.WaitForStop(); };
}

}  // namespace tarnlow::test

// Serves the sample book on 127.0.0.1 (a free port) until stopped, and
// prints the contents address. An address with a dot in the host: the
// program's address rules refuse "localhost".

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <httplib.h>

#include "tools/sample_site/sample_book.h"

namespace {
httplib::Server* g_server = nullptr;
void Stop(int) {
  if (g_server != nullptr) g_server->stop();
}
}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  if (argc > 1) port = std::atoi(argv[1]);
  httplib::Server server;
  for (const auto& [path, page] : tarnlow::sample::Pages()) {
    server.Get(path, [&page = page](const httplib::Request&, httplib::Response& res) {
      res.set_content(page, "text/html; charset=gbk");
    });
  }
  if (port == 0) {
    port = server.bind_to_any_port("127.0.0.1");
  } else if (!server.bind_to_port("127.0.0.1", port)) {
    port = -1;
  }
  if (port <= 0) {
    std::fprintf(stderr, "sample site: cannot listen on 127.0.0.1\n");
    return 1;
  }
  g_server = &server;
  signal(SIGINT, Stop);
  signal(SIGTERM, Stop);
  std::printf("http://127.0.0.1:%d%s\n", port, tarnlow::sample::kContentsPath);
  std::fflush(stdout);
  server.listen_after_bind();
  return 0;
}

// A book site for the download benchmark: a contents page of N chapters and
// chapter pages of about 30 KB, every answer held back by a fixed delay, as a
// distant site would. Prints the contents address; serves until stopped.
//   slow_site CHAPTERS DELAY_MS

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <httplib.h>

#include "text/codepage.h"

namespace {

httplib::Server* g_server = nullptr;
void Stop(int) {
  if (g_server != nullptr) g_server->stop();
}

std::string ChapterPage(int n) {
  std::string line = tarnlow::Utf8ToAnsi(
      "&nbsp;&nbsp;&nbsp;&nbsp;他站在城墙上望着远方，风把旗帜吹得猎猎作响，谁也不知道明天会怎样。<"
      "br /><br />");
  std::string body;
  while (body.size() < 30000) body += line;
  return "<html><head><title>" + std::to_string(n) + "</title></head><body><div id=\"content\">" +
         body + "</div><div><a href=\"/next\">next</a></div></body></html>";
}

}  // namespace

int main(int argc, char** argv) {
  const int chapters = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int delayMs = argc > 2 ? std::atoi(argv[2]) : 50;
  httplib::Server server;
  // Enough handler threads that the server is never what the clients wait for.
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  const std::string page = ChapterPage(1);
  std::string list = "<html><body><div id=\"list\">";
  for (int n = 1; n <= chapters; ++n) {
    list += "<a href=\"/book/" + std::to_string(n) + ".html\">" + tarnlow::Utf8ToAnsi("第") +
            std::to_string(n) + tarnlow::Utf8ToAnsi("章") + "</a>\n";
  }
  list += "</div></body></html>";
  server.Get("/book/", [&](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    res.set_content(list, "text/html");
  });
  server.Get(R"(/book/(\d+)\.html)", [&](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    res.set_content(page, "text/html");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  if (port <= 0) return 1;
  g_server = &server;
  signal(SIGINT, Stop);
  signal(SIGTERM, Stop);
  std::printf("http://127.0.0.1:%d/book/\n", port);
  std::fflush(stdout);
  server.listen_after_bind();
  return 0;
}

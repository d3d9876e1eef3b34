// How long the desktop window's UI thread goes without serving its events
// while a book of CHAPTERS chapters downloads at THREADS threads from a local
// server: a 10 ms QTimer ticks through both commands, started by clicks on
// the real execute button, and the longest gap between two ticks is the
// longest stall. Not a test: it prints figures.
//
//   ui_stall [CHAPTERS [THREADS]]      (defaults 1000 and 9)
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM or DISPLAY says
// otherwise; needs the run-time libraries beside it, as the program does.

#include <stdlib.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "app/app.h"
#include "app/program_dir.h"
#include "app/settings.h"
#include "commands/command_thread.h"
#include "text/codepage.h"
#include "ui/main_window.h"
#include "ui/modal.h"
#include "ui/program.h"
#include "ui/qt_text.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string G(const std::string& utf8) { return tarnlow::Utf8ToAnsi(utf8); }

std::string ContentsPage(int chapters) {
  std::string list;
  for (int n = 1; n <= chapters; ++n) {
    list += "<dd><a href=\"/book/" + std::to_string(n) + ".html\">" + G("第") + std::to_string(n) +
            G("章 夜航") + "</a></dd>\r\n";
  }
  return G("<html><head><title>测速之书最新章节</title>"
           "<meta property=\"og:novel:book_name\" content=\"测速之书\"/></head><body>"
           "<div id=\"list\"><dl>\r\n") +
         list + "</dl></div></body></html>";
}

std::string ChapterPage(int n) {
  std::string lines;
  for (int line = 1; line <= 20; ++line) {
    lines += G("&nbsp;&nbsp;&nbsp;&nbsp;第") + std::to_string(n) +
             G("章的一行字，风把旗帜吹得猎猎作响。") + "<br />\r\n<br />";
  }
  return "<html><head><title>" + std::to_string(n) + "</title></head><body><div id=\"content\">" +
         lines + "</div></body></html>";
}

// Processes events until `done` holds or `seconds` pass; false on time-out.
template <typename Done>
bool RunUntil(Done done, int seconds) {
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int chapters = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  const int threads = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 99) : 9;
  if (!getenv("QT_QPA_PLATFORM") && !getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);

  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  const std::string contents = ContentsPage(chapters);
  server.Get("/book/", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(contents, "text/html; charset=gbk");
  });
  server.Get(R"(/book/(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(ChapterPage(std::stoi(req.matches[1])), "text/html; charset=gbk");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });

  char dirTemplate[] = "/tmp/ui_stall.XXXXXX";
  const fs::path dir = mkdtemp(dirTemplate);
  fs::create_directory(dir / "Download");
  {
    tarnlow::Settings settings(dir);
    settings.Write("Website", "http://127.0.0.1:" + std::to_string(port) + "/book/");
    settings.Write("Thread", std::to_string(threads));
    settings.Write("Retry", "2");
    settings.Write("Delay", "100");
  }

  int exitCode = 1;
  {
    tarnlow::ui::SetMessageAnswerer([](const tarnlow::MessageRecord& message) {
      std::fprintf(stderr, "message box: %s\n", tarnlow::GbkToUtf8(message.text).c_str());
    });
    tarnlow::ui::Program program({dir, tarnlow::ExecutableDir()});
    if (program.CreateMainWindow()) {
      tarnlow::ui::MainWindow& window = program.window();
      auto idleCaption = [&] {
        return window.ExecuteButton()->text() == tarnlow::ui::ToQt(tarnlow::CaptionContents());
      };
      auto ready = [&] {
        return !program.commands().Running() && window.ExecuteButton()->isEnabled();
      };

      std::vector<double> gaps;
      Clock::time_point last = Clock::now();
      QTimer ticker;
      ticker.setTimerType(Qt::PreciseTimer);
      QObject::connect(&ticker, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
      });
      last = Clock::now();
      ticker.start(10);

      const Clock::time_point start = Clock::now();
      window.ExecuteButton()->click();
      const bool listed = RunUntil([&] { return ready() && !idleCaption(); }, 300);
      const double contentsSeconds = std::chrono::duration<double>(Clock::now() - start).count();
      const int items = program.model().ListCount();
      window.ExecuteButton()->click();
      const bool saved = listed && RunUntil([&] { return ready() && idleCaption(); }, 900);
      const double totalSeconds = std::chrono::duration<double>(Clock::now() - start).count();
      ticker.stop();

      std::sort(gaps.begin(), gaps.end());
      const double longest = gaps.empty() ? 0 : gaps.back();
      const double p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
      std::size_t books = 0;
      for (const auto& entry : fs::directory_iterator(dir / "Download"))
        books += entry.path().extension() == ".txt";
      std::printf("chapters %d, threads %d, list items %d, book files %zu\n", chapters, threads,
                  items, books);
      std::printf("contents %.2f s, contents and chapters %.2f s\n", contentsSeconds, totalSeconds);
      std::printf("10 ms ticks: %zu, gap p99 %.1f ms, longest gap %.1f ms\n", gaps.size(), p99,
                  longest);
      exitCode = listed && saved && books == 1 ? 0 : 1;
      if (exitCode != 0) std::printf("the run did not finish with one book file\n");
    } else {
      std::printf("the run-time libraries are missing beside the program\n");
    }
  }
  tarnlow::ui::SetMessageAnswerer({});
  server.stop();
  serving.join();
  fs::remove_all(dir);
  return exitCode;
}

// Commands on their own thread, as the desktop window runs them: the window's
// thread presses cancel and close at any moment and must see the command end
// promptly, and a window that is slow to draw must neither slow a run nor
// miss a change. Built and run under ThreadSanitizer too.

#include "commands/command_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/run_log.h"
#include "commands/commands.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "tests/support/wait.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Gbk;

std::string ChapterPage(int n) {
  std::string lines;
  for (int line = 1; line <= 5; ++line) {
    lines += Gbk("第") + std::to_string(n) + Gbk("章 第") + std::to_string(line) + Gbk("行<br />");
  }
  return "<html><body><div id=\"content\">" + lines + "</div></body></html>";
}

class CommandThreadTest : public ::testing::Test {
 protected:
  CommandThreadTest() {
    fs::create_directory(dir.Path() / "Download");
    app.state.downloadFolder = (dir.Path() / "Download").string();
    app.state.threadCount = 3;
    app.state.retryCount = 0;
    app.state.delayMs = 1;
    server.Get(R"(/book/(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(ChapterPage(std::stoi(req.matches[1])), "text/html");
    });
  }
  void AddChapters(int count) {
    std::vector<std::string> titles;
    for (int n = 1; n <= count; ++n) {
      const std::string title = Gbk("第") + std::to_string(n) + Gbk("章");
      app.chapters.Append({title, server.Url("/book/" + std::to_string(n) + ".html"), {}});
      titles.push_back(title);
    }
    model.ListSetAll(std::move(titles));
    model.SetExecuteCaption(CaptionChapters());
    model.SetBox(Box::Address, server.Url("/book/"));
    model.SetBox(Box::SaveName, Gbk("测试书"));
  }
  // Presses `button` from this thread (the window's) `settle` after `ready`
  // holds, and returns how long the command took to return after the press.
  template <class Ready, class Button>
  Clock::duration PressAndTime(Ready ready, Clock::duration settle, Button button) {
    EXPECT_TRUE(test::WaitUntil(ready));
    std::this_thread::sleep_for(settle);
    const auto pressed = Clock::now();
    button();
    commands.Wait();
    return Clock::now() - pressed;
  }
  static long long Ms(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  }

  test::TempDir dir;
  test::TestServer server;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app{model, shell, dir.Path()};
  CommandThread commands{app};
};

TEST_F(CommandThreadTest, OneCommandAtATime) {
  test::Gate release;
  std::atomic<bool> ran{false};
  ASSERT_TRUE(commands.Start([&] { ran = release.Wait(); }));
  EXPECT_TRUE(commands.Running());
  EXPECT_TRUE(app.state.commandRunning);
  EXPECT_FALSE(commands.Start([] {}));
  EXPECT_FALSE(commands.Wait(20ms));

  // Between the start and `busy` (or after it), the window's buttons must not
  // touch the chapter list under the command: the cancel is ignored, the
  // close refused and remembered.
  app.chapters.Append({"t", "u", ""});
  CancelOrReset(app);
  EXPECT_EQ(app.chapters.Size(), 1u);
  EXPECT_FALSE(app.state.cancelRequested);

  release.Open();
  commands.Wait();
  EXPECT_TRUE(ran);
  EXPECT_FALSE(commands.Running());
  EXPECT_FALSE(app.state.commandRunning);
  EXPECT_FALSE(shell.EndProcessCalled());

  // Idle again: the next command runs, and the cancel button resets.
  std::atomic<int> second{0};
  ASSERT_TRUE(commands.Start([&] { second = 1; }));
  ASSERT_TRUE(commands.Wait(10s));
  EXPECT_EQ(second, 1);
  CancelOrReset(app);
  EXPECT_TRUE(app.chapters.Empty());
}

// A close that the command never looks at still ends the process once the
// command returns; destroying the thread asks a running command to close.
TEST_F(CommandThreadTest, CloseEndsTheProcessAfterTheCommand) {
  test::Gate release;
  ASSERT_TRUE(commands.Start([&] { release.Wait(); }));
  EXPECT_FALSE(QueryClose(app));
  EXPECT_TRUE(app.log.exitRequested);
  release.Open();
  commands.Wait();
  EXPECT_TRUE(shell.EndProcessCalled());

  WindowModel otherModel;
  RecordingShell otherShell;
  App other(otherModel, otherShell, dir.Path());
  std::atomic<bool> sawClose{false};
  {
    CommandThread thread(other);
    ASSERT_TRUE(thread.Start(
        [&] { sawClose = test::WaitUntil([&] { return other.log.exitRequested.load(); }); }));
    ASSERT_TRUE(test::WaitUntil([&] { return other.state.commandRunning.load(); }));
  }
  EXPECT_TRUE(sawClose);
  EXPECT_TRUE(otherShell.EndProcessCalled());
  EXPECT_FALSE(other.state.commandRunning);
}

// The waits between attempts end at once on a cancel or a close, whatever
// the milliseconds box says: the contents page and a chapter, each waiting
// out a 99,999 ms retry delay when the button is pressed.
TEST_F(CommandThreadTest, CancelAndCloseEndLongRetryWaitsPromptly) {
  server.Serve("/down/", "busy", "text/html", 503);
  server.Serve("/book/2.html", "busy", "text/html", 503);
  app.state.retryCount = 3;
  app.state.delayMs = 99999;
  struct Case {
    const char* what;
    bool chapters;
    bool close;
  };
  // The closes last: the shell remembers that the process was to end.
  for (const Case c :
       {Case{"contents, cancel", false, false}, Case{"chapters, cancel", true, false},
        Case{"contents, close", false, true}, Case{"chapters, close", true, true}}) {
    SCOPED_TRACE(c.what);
    app.state.busy = false;
    app.log.exitRequested = false;
    app.chapters.Clear();
    server.ClearRequests();
    if (c.chapters) {
      AddChapters(3);
    } else {
      model.SetExecuteCaption(CaptionContents());
      model.SetBox(Box::Address, server.Url("/down/"));
    }
    const std::string waited = c.chapters ? "/book/2.html" : "/down/";
    bool result = true;
    ASSERT_TRUE(commands.Start([&] { result = ExecuteCommand(app); }));
    // Pressed well inside the first wait: the fetch that failed is long over.
    const auto latency = PressAndTime([&] { return server.RequestCount(waited) == 1; }, 300ms,
                                      [&] {
                                        if (c.close) {
                                          QueryClose(app);
                                        } else {
                                          CancelOrReset(app);
                                        }
                                      });
    std::printf("%-18s: returned %lld ms after the press\n", c.what, Ms(latency));
    EXPECT_FALSE(result);
    EXPECT_EQ(server.RequestCount(waited), 1);
    EXPECT_LT(latency, 20s);  // 50 ms by design; the wait would last 100 s
    EXPECT_EQ(shell.EndProcessCalled(), c.close);
    if (!c.close) {
      EXPECT_FALSE(app.state.busy);
    }
  }
}

// A cancel during a chapter run whose pages do not come until the test is
// over: the chapters in flight are dropped, not waited out.
TEST_F(CommandThreadTest, CancelDuringAChapterRunEndsPromptly) {
  const auto over = std::make_shared<test::Gate>();
  server.Get(R"(/slow/(\d+)\.html)", [over](const httplib::Request& req, httplib::Response& res) {
    over->Wait(60s);
    res.set_content(ChapterPage(std::stoi(req.matches[1])), "text/html");
  });
  const test::OpenOnExit release(*over);
  AddChapters(30);
  for (std::size_t i = 0; i < app.chapters.Size(); ++i) {
    app.chapters[i].url = server.Url("/slow/" + std::to_string(i + 1) + ".html");
  }
  bool result = true;
  ASSERT_TRUE(commands.Start([&] { result = ExecuteCommand(app); }));
  const auto latency = PressAndTime([&] { return server.Requests().size() == 3; }, 100ms,
                                    [&] { CancelOrReset(app); });
  std::printf("chapter run cancel: returned %lld ms after the press\n", Ms(latency));
  EXPECT_FALSE(result);
  EXPECT_LT(latency, 20s);  // the pages would take a minute
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_TRUE(app.chapters.Empty());
  EXPECT_NE(GbkToUtf8(app.log.Text()).find("】已取消！文件《测试书》"), std::string::npos);
}

// What a window does with a delivery: it re-reads what was named.
struct Rendered {
  std::vector<ListItem> items;
  std::string status;
  std::string title;
  std::string caption;
  std::optional<ChapterProgress> progress;

  void Render(const WindowModel& model, const ChangeSet& changes) {
    if (changes.Has(Change::List)) {
      items = model.ListSnapshot();
    } else {
      for (int i : changes.items) {
        if (static_cast<std::size_t>(i) < items.size()) items[i] = model.ListItemAt(i);
      }
    }
    if (changes.Has(Change::Status)) status = model.Status();
    if (changes.Has(Change::Title)) title = model.Title();
    if (changes.Has(Change::Buttons)) caption = model.ExecuteCaption();
    if (changes.Has(Change::Progress)) progress = model.Progress();
  }
  void ExpectSameAs(const WindowModel& model) const {
    const std::vector<ListItem> now = model.ListSnapshot();
    ASSERT_EQ(items.size(), now.size());
    for (std::size_t i = 0; i < now.size(); ++i) {
      EXPECT_EQ(items[i].text, now[i].text) << i;
      EXPECT_EQ(items[i].selected, now[i].selected) << i;
    }
    EXPECT_EQ(status, model.Status());
    EXPECT_EQ(title, model.Title());
    EXPECT_EQ(caption, model.ExecuteCaption());
    EXPECT_EQ(progress, model.Progress());
  }
};

// A window that takes 200 ms for every delivery during a 300-chapter run
// shows the final state once its deliveries have caught up. (That no change
// waits for the window is NoWorkerWaitsOnTheWindow's point.)
TEST_F(CommandThreadTest, SlowWindowMissesNoChange) {
  std::mutex renderMutex;
  Rendered rendered;
  int deliveries = 0;
  model.Subscribe([&](const ChangeSet& changes) {
    {
      std::lock_guard lock(renderMutex);
      rendered.Render(model, changes);
      ++deliveries;
    }
    std::this_thread::sleep_for(200ms);
  });
  AddChapters(300);
  bool saved = false;
  ASSERT_TRUE(commands.Start([&] { saved = ExecuteCommand(app); }));
  commands.Wait();
  EXPECT_TRUE(saved);

  ASSERT_TRUE(model.WaitForDeliveries(60s));
  model.Subscribe({});
  std::lock_guard lock(renderMutex);
  EXPECT_GE(deliveries, 1);
  rendered.ExpectSameAs(model);
  EXPECT_EQ(model.ExecuteCaption(), CaptionContents());  // the run saved and reset
  EXPECT_EQ(app.savedBooks.size(), 1u);
}

// The workers and the command thread never wait for the window: with the
// window stuck in its first delivery, a whole run still ends; the window then
// catches up with everything in one delivery.
TEST_F(CommandThreadTest, NoWorkerWaitsOnTheWindow) {
  const auto stuck = std::make_shared<test::Gate>();
  const test::OpenOnExit release(*stuck);
  std::atomic<int> deliveries{0};
  Rendered rendered;
  model.Subscribe([&, stuck](const ChangeSet& changes) {
    if (deliveries.fetch_add(1) == 0) stuck->Wait(120s);
    rendered.Render(model, changes);
  });
  ASSERT_TRUE(test::WaitUntil([&] { return deliveries.load() == 1; }));

  AddChapters(100);
  bool saved = false;
  ASSERT_TRUE(commands.Start([&] { saved = ExecuteCommand(app); }));
  EXPECT_TRUE(commands.Wait(60s));
  EXPECT_TRUE(saved);
  EXPECT_EQ(deliveries.load(), 1);

  stuck->Open();
  ASSERT_TRUE(model.WaitForDeliveries(60s));
  EXPECT_EQ(deliveries.load(), 2);
  model.Subscribe({});
  rendered.ExpectSameAs(model);
}

}  // namespace
}  // namespace tarnlow

// The two commands through the real main window against a local server:
// both phases end to end, a cancel in each, a close during a chapter run,
// and a message box asked for by the command thread.

#include <QTest>

#include <chrono>
#include <memory>
#include <thread>

#include "app/app.h"
#include "app/files.h"
#include "tests/support/test_server.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "text/codepage.h"
#include "tools/sample_site/sample_book.h"

namespace tarnlow::ui::test {

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;
using tarnlow::test::TestServer;

// Holds the answers of some pages back until opened. Open when the test
// ends, whatever happened, so that no server thread is left waiting.
class Gate {
 public:
  Gate() : m_open(std::make_shared<std::atomic<bool>>(false)) {}
  ~Gate() { Open(); }
  void Open() { *m_open = true; }
  TestServer::Handler Hold(std::string page) const {
    return
        [open = m_open, page = std::move(page)](const httplib::Request&, httplib::Response& res) {
          for (int i = 0; i < 600 && !*open; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          res.set_content(page, "text/html; charset=gbk");
        };
  }

 private:
  std::shared_ptr<std::atomic<bool>> m_open;
};

void ServeSampleBook(TestServer& server) {
  for (const auto& [path, page] : sample::Pages())
    server.Serve(path, page, "text/html; charset=gbk");
}

// Chapter pages held back by the gate; the contents pages answer at once.
void ServeBookWithHeldChapters(TestServer& server, const Gate& gate) {
  for (const auto& [path, page] : sample::Pages()) {
    if (path.find("list") == std::string::npos && path != sample::kContentsPath)
      server.Get(path, gate.Hold(page));
    else
      server.Serve(path, page, "text/html; charset=gbk");
  }
}

Settings BookSettings(const TestServer& server) {
  return {{"Website", server.Url(sample::kContentsPath)},
          {"Retry", "0"},
          {"Delay", "100"},
          {"Thread", "3"}};
}

QStringList SampleTitles() {
  QStringList titles;
  for (const sample::Chapter& chapter : sample::Chapters()) titles << Q(chapter.title);
  return titles;
}

}  // namespace

void CommandsTest::bothCommandsEndToEnd() {
  TestServer server;
  ServeSampleBook(server);
  ProgramUnderTest program(BookSettings(server));
  QVERIFY(program.Create());
  MainWindow& window = program.window();

  program.ClickExecute();
  QVERIFY(program.WaitForContents());
  QCOMPARE(program.ListTexts(), SampleTitles());
  QVERIFY(!program.Box(Box::SaveName)->text().isEmpty());
  // Contents ready: the address and contents marks are locked, cancel is
  // offered, the text marks stay open.
  QVERIFY(!program.Box(Box::Address)->isEnabled());
  QVERIFY(!program.Box(Box::ListBegin)->isEnabled());
  QVERIFY(!window.BatchAction()->isEnabled());
  QVERIFY(program.Box(Box::TextBegin)->isEnabled());
  QVERIFY(window.CancelButton()->isEnabled());

  program.ClickExecute();
  QVERIFY(program.WaitForIdle());
  QVERIFY(program.ListTexts().isEmpty());
  QVERIFY(program.Box(Box::Address)->text().isEmpty());
  QVERIFY(program.Box(Box::Address)->isEnabled());
  QVERIFY(!window.CancelButton()->isEnabled());

  const auto books = program.Books();
  QCOMPARE(books.size(), std::size_t{1});
  const std::string book = GbkToUtf8(ReadTextFile(books[0]));
  std::size_t at = 0;
  for (const sample::Chapter& chapter : sample::Chapters()) {
    at = book.find(std::string(chapter.title) + "\r\n", at);
    QVERIFY2(at != std::string::npos, chapter.title);
    QVERIFY(book.find(chapter.lines.front(), at) != std::string::npos);
  }
  QVERIFY(std::filesystem::exists(program.Dir() / "log.log"));
  QVERIFY(program.messages().Messages().empty());
}

void CommandsTest::cancelInEachCommand_data() {
  QTest::addColumn<bool>("duringChapters");
  QTest::newRow("contents") << false;
  QTest::newRow("chapters") << true;
}

void CommandsTest::cancelInEachCommand() {
  QFETCH(bool, duringChapters);
  TestServer server;
  Gate gate;
  if (duringChapters) {
    ServeBookWithHeldChapters(server, gate);
  } else {
    for (const auto& [path, page] : sample::Pages()) server.Get(path, gate.Hold(page));
  }
  Settings settings = BookSettings(server);
  // Without paging, which would take the cancel for itself and end with the
  // list of the first page.
  settings.emplace_back("GetNextPage", "0");
  ProgramUnderTest program(settings);
  QVERIFY(program.Create());
  MainWindow& window = program.window();

  if (duringChapters) {
    program.ClickExecute();
    QVERIFY(program.WaitForContents());
  }
  program.ClickExecute();
  QTRY_VERIFY_WITH_TIMEOUT(program.CommandRunning() && window.CancelButton()->isEnabled() &&
                               !window.ExecuteButton()->isEnabled(),
                           kTimeoutMs);
  program.ClickCancel();
  // The contents command waits for its page and writes nothing meanwhile; a
  // chapter run's progress block soon takes the panel back.
  QTRY_VERIFY_WITH_TIMEOUT(
      !window.CancelButton()->isEnabled() &&
          (duringChapters || program.StatusText() == Q("\n 正在取消，请稍后...")),
      kTimeoutMs);
  // The page under way arrives; the command then honours the cancel.
  gate.Open();
  QVERIFY(program.WaitForIdle());
  QVERIFY(program.Books().empty());
  if (duringChapters) QVERIFY(program.ListTexts().isEmpty());
  QVERIFY(program.Box(Box::Address)->isEnabled());
  QCOMPARE(program.EndProcessCalls(), 0);
}

void CommandsTest::closeDuringChapterRunEndsWithoutSaving() {
  TestServer server;
  Gate gate;
  ServeBookWithHeldChapters(server, gate);
  ProgramUnderTest program(BookSettings(server));
  QVERIFY(program.Create());
  MainWindow& window = program.window();

  program.ClickExecute();
  QVERIFY(program.WaitForContents());
  program.ClickExecute();
  QTRY_VERIFY_WITH_TIMEOUT(program.CommandRunning() && window.CancelButton()->isEnabled(),
                           kTimeoutMs);
  QVERIFY(!window.close());
  QVERIFY(window.isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(program.EndProcessCalls() > 0, kTimeoutMs);
  QTRY_VERIFY_WITH_TIMEOUT(!program.CommandRunning(), kTimeoutMs);
  QVERIFY(program.Books().empty());
  QVERIFY(!std::filesystem::exists(program.Dir() / "log.log"));
}

void CommandsTest::commandMessageIsAnsweredOnTheUiThread() {
  ProgramUnderTest program(Settings{{"Website", "not an address"}});
  QVERIFY(program.Create());
  program.ClickExecute();
  QTRY_VERIFY_WITH_TIMEOUT(!program.messages().Messages().empty(), kTimeoutMs);
  const MessageRecord message = program.messages().Messages().front();
  QCOMPARE(GbkToUtf8(message.title), std::string("提示"));
  QVERIFY(message.icon == MessageIcon::Information);
  QVERIFY(program.WaitForIdle());
}

}  // namespace tarnlow::ui::test

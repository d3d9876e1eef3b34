// The input dialog's batch and clean-text modes, opened from the real main
// window's menu.

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "app/app.h"
#include "commands/command_thread.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "text/codepage.h"
#include "ui/input_dialog.h"
#include "ui/menus.h"
#include "ui/qt_text.h"

namespace tarnlow::ui::test {

namespace {

using tarnlow::test::TestServer;

void ChooseFromMenu(ProgramUnderTest& program, const char* caption) {
  QAction* item = MainMenus::FindAction(program.window().MainMenu(), Q(caption));
  QVERIFY2(item != nullptr, caption);
  item->trigger();
}

InputDialog* AsInputDialog(QDialog& dialog) {
  auto* input = dynamic_cast<InputDialog*>(&dialog);
  if (input == nullptr) qWarning("not the input dialog");
  return input;
}

}  // namespace

void DialogsTest::batchRightClickStoresLeftClickRuns() {
  TestServer server;
  for (const char* book : {"a", "b", "c"}) {
    const std::string folder = std::string("/") + book + "/";
    ServeBook(server, folder, {{folder + "1.html", "第1章 起", "text"}}, std::string("书") + book);
  }
  ProgramUnderTest program(TestBookSettings(server, "/a/"));
  QVERIFY(program.Create());
  const QString a = QString::fromStdString(server.Url("/a/"));
  const QString b = QString::fromStdString(server.Url("/b/"));
  const QString c = QString::fromStdString(server.Url("/c/"));
  program.Type(Box::Address, QString());

  // The stored list whenever a task shows its first status.
  std::mutex mutex;
  std::map<std::string, std::string> storedAt;
  App& app = program.program().app();
  program.program().model().SetStatusHook([&](const std::string&) {
    const std::string address = app.model.GetBox(Box::Address);
    const std::string stored = app.settings.Read(keys::Webs);
    std::lock_guard lock(mutex);
    storedAt.emplace(address, stored);
  });

  AnswerDialogs dialogs([&](QDialog& dialog) {
    InputDialog* input = AsInputDialog(dialog);
    QVERIFY(input != nullptr);
    QCOMPARE(input->SaveButton()->text(), Q("开始处理"));
    QCOMPARE(input->Label1()->text(),
             Q("请输入网址，多个网址请换行！开始处理右键为保存（不执行）"));
    QVERIFY(input->Text().isEmpty());  // nothing stored, no address in the box
    input->SetText(a + "\n" + b + "\n" + Q("一行字") + "\n" + c + "\n");
    QTest::mouseClick(input->SaveButton(), Qt::RightButton);
    QCOMPARE(program.Setting("Webs"), (a + "||" + b + "||" + c + "||").toStdString());
    QVERIFY(input->isVisible());
    QVERIFY(!program.CommandRunning());
    QTest::mouseClick(input->SaveButton(), Qt::LeftButton);
    QVERIFY(!input->isVisible());
  });
  ChooseFromMenu(program, "批处理...");
  QCOMPARE(dialogs.Count(), 1);
  QVERIFY(program.WaitForIdle());
  program.program().model().SetStatusHook({});

  QCOMPARE(program.Books().size(), std::size_t{3});
  for (const char* path : {"/a/", "/b/", "/c/"}) QCOMPARE(server.RequestCount(path), 1);
  QCOMPARE(program.Setting("Webs"), std::string());
  std::lock_guard lock(mutex);
  QCOMPARE(storedAt[b.toStdString()], (b + "||" + c + "||").toStdString());
  QCOMPARE(storedAt[c.toStdString()], (c + "||").toStdString());
}

void DialogsTest::batchRefusals_data() {
  QTest::addColumn<bool>("busy");
  QTest::addColumn<QString>("message");
  QTest::newRow("a command runs") << true << "任务处理中，请等待处理完毕！";
  QTest::newRow("no valid line") << false << "任务无效！";
}

void DialogsTest::batchRefusals() {
  QFETCH(bool, busy);
  QFETCH(QString, message);
  ProgramUnderTest program(SettingList{{"Webs", "http://www.old.com/book/||"}});
  QVERIFY(program.Create());
  std::atomic<bool> release{false};
  if (busy) {
    QVERIFY(program.program().commands().Start([&] {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }));
  }
  AnswerDialogs dialogs([&](QDialog& dialog) {
    InputDialog* input = AsInputDialog(dialog);
    QVERIFY(input != nullptr);
    input->SetText(Q("一行字\nhttp://www.site.com\n"));
    QTest::mouseClick(input->SaveButton(), Qt::LeftButton);
  });
  ChooseFromMenu(program, "批处理...");
  release = true;
  QTRY_VERIFY_WITH_TIMEOUT(!program.CommandRunning(), kTimeoutMs);

  QCOMPARE(dialogs.Count(), busy ? 0 : 1);
  const std::vector<MessageRecord> shown = program.messages().Messages();
  QCOMPARE(shown.size(), std::size_t{1});
  QCOMPARE(ToQt(shown[0].text), message);
  QCOMPARE(ToQt(shown[0].title), Q("提示"));
  QCOMPARE(program.Setting("Webs"), busy ? std::string("http://www.old.com/book/||") : "");
}

void DialogsTest::cleanRulesEditor_data() {
  QTest::addColumn<bool>("save");
  QTest::newRow("保存") << true;
  QTest::newRow("取消") << false;
}

void DialogsTest::cleanRulesEditor() {
  QFETCH(bool, save);
  ProgramUnderTest program;
  const std::string before = Utf8ToAnsi("广告\r\n// 注释\r\n");
  {
    std::ofstream file(program.Dir() / "cleantxt.list", std::ios::binary);
    file << before;
  }
  QVERIFY(program.Create());
  App& app = program.program().app();
  const auto loaded = [&app] {
    const auto rules = app.rules.Snapshot();
    return std::vector<std::string>(rules->begin(), rules->end());
  };
  QCOMPARE(loaded().size(), std::size_t{1});

  AnswerDialogs dialogs([&](QDialog& dialog) {
    InputDialog* input = AsInputDialog(dialog);
    QVERIFY(input != nullptr);
    QCOMPARE(input->Label1()->text(), Q("输入想要清除的文本，可以使用正则。“// ”开头为注释"));
    QVERIFY(!input->Label2()->isVisible());
    QCOMPARE(input->EditGeometry(), QRect(26, 52, 374, 210));
    QCOMPARE(input->SaveButton()->y(), 272);
    QCOMPARE(input->CancelButton()->y(), 272);
    QCOMPARE(input->height(), 322);
    QCOMPARE(input->Text(), Q("广告\n// 注释\n"));
    input->SetText(Q("本站\n// 注释\n(?:abc)"));
    QTest::mouseClick(save ? input->SaveButton() : input->CancelButton(), Qt::LeftButton);
    QVERIFY(!input->isVisible());
  });
  ChooseFromMenu(program, "清除指定文本...");
  QCOMPARE(dialogs.Count(), 1);

  const std::string after = save ? Utf8ToAnsi("本站\r\n// 注释\r\n(?:abc)") : before;
  QCOMPARE(tarnlow::test::ReadFile(program.Dir() / "cleantxt.list").value_or("<missing>"), after);
  const std::vector<std::string> rules =
      save ? std::vector<std::string>{Utf8ToAnsi("本站"), "(?:abc)"}
           : std::vector<std::string>{Utf8ToAnsi("广告")};
  QCOMPARE(loaded(), rules);
}

void DialogsTest::updateSavedBookFromTheMenu() {
  TestServer server;
  ServeBook(server, "/a/", {{"/a/1.html", "第1章 起", "一"}, {"/a/2.html", "第2章 承", "二"}},
            "书a");
  ProgramUnderTest program(TestBookSettings(server, "/a/"));
  QVERIFY(program.Create());
  // A book of one chapter saved earlier, with its record.
  const std::filesystem::path book = program.Dir() / "Download" / "书a.txt";
  const std::string old = Utf8ToAnsi("第1章 起\r\n一\r\n");
  std::ofstream(book, std::ios::binary) << old;
  std::ofstream(book.string() + ".tarnlow", std::ios::binary)
      << "[book]\r\nAddress=" << server.Url("/a/")
      << "\r\nListBegin=<div id=\"list\">\r\nListEnd=</div>\r\nTextBegin=<div "
         "id=\"content\">\r\nTextEnd=</div>\r\n[chapters]\r\n"
      << server.Url("/a/1.html") << "\r\n";
  program.Type(Box::Address, Q("http://www.other.com/book/"));

  AnswerDialogs dialogs([&](QDialog& dialog) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    QVERIFY(files != nullptr);
    QCOMPARE(files->directory().absolutePath(),
             QString::fromStdString((program.Dir() / "Download").string()));
    files->selectFile(QString::fromStdString(book.string()));
    dialog.accept();  // through QDialog: the file dialog takes the chosen file
  });
  ChooseFromMenu(program, "更新已有书籍...");
  QCOMPARE(dialogs.Count(), 1);
  QVERIFY(program.WaitForIdle());

  QCOMPARE(server.RequestCount("/a/1.html"), 0);
  QCOMPARE(server.RequestCount("/a/2.html"), 1);
  const std::string updated = tarnlow::test::ReadFile(book).value_or("");
  QVERIFY(updated.starts_with(old + Utf8ToAnsi("第2章 承\r\n二")));
  QCOMPARE(program.Books().size(), std::size_t{1});
  const std::vector<MessageRecord> shown = program.messages().Messages();
  QVERIFY(!shown.empty());
  QCOMPARE(ToQt(shown.back().text), Q("书《书a.txt》已更新，新增 1 章。"));
  // The window's own address is as it was.
  QCOMPARE(program.Box(Box::Address)->text(), Q("http://www.other.com/book/"));
}

}  // namespace tarnlow::ui::test

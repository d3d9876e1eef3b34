// The popup menus of the chapter list box and the status panel, opened with
// the mouse over the real main window after a contents run.

#include <QAction>
#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTextCursor>

#include <filesystem>

#include "app/app.h"
#include "tests/support/test_server.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "text/codepage.h"
#include "ui/menus.h"
#include "ui/qt_text.h"

namespace tarnlow::ui::test {

namespace {

using tarnlow::test::TestServer;

// Ten chapters: 1 to 6 in the folder /a/, 7 to 10 in /b/.
std::vector<TestChapter> TenChapters() {
  std::vector<TestChapter> chapters;
  for (int i = 1; i <= 10; ++i) {
    const std::string n = std::to_string(i);
    chapters.push_back({(i <= 6 ? "/a/" : "/b/") + n + ".html", "第" + n + "章 夜航", "正文" + n});
  }
  return chapters;
}

QStringList Titles(std::initializer_list<int> numbers) {
  QStringList titles;
  for (int n : numbers) titles << Q("第%1章 夜航").arg(n);
  return titles;
}

// The list box as shown, after checking that it shows the chapter list.
QStringList Shown(ProgramUnderTest& program) {
  program.Render();
  QStringList chapters;
  for (const ChapterEntry& entry : program.program().app().chapters.Entries())
    chapters << ToQt(entry.title);
  const QStringList shown = program.ListTexts();
  if (shown != chapters) qWarning() << "list box" << shown << "chapter list" << chapters;
  return shown == chapters ? shown : QStringList{QStringLiteral("<out of step>")};
}

// Opens the list menu over the list and chooses `caption`.
void ChooseFromList(ProgramUnderTest& program, const char* caption) {
  AnswerMenus answer([&](QMenu& menu) {
    QAction* item = MenuItem(menu, Q(caption));
    QVERIFY2(item != nullptr && item->isEnabled(), caption);
    item->trigger();
  });
  program.RightPressOnList();
  QCOMPARE(answer.Count(), 1);
}

}  // namespace

void ContextMenusTest::listMenuEditsListBoxAndChaptersTogether() {
  TestServer server;
  ServeBook(server, "/list/", TenChapters());
  ProgramUnderTest program(TestBookSettings(server, "/list/"));
  QVERIFY(program.Create());

  QStringList offered;
  AnswerMenus look([&](QMenu& menu) { offered = EnabledItems(menu); });
  program.RightPressOnList();
  QCOMPARE(look.Count(), 0);  // no list yet
  program.ClickExecute();
  QVERIFY(program.WaitForContents());
  QCOMPARE(Shown(program), Titles({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  program.RightPressOnList();
  QCOMPARE(look.Count(), 1);
  QCOMPARE(offered,
           QStringList({Q("格式化章节编号"), Q("倒序"), Q("清空列表"), Q("清理可疑的链接")}));
  program.SelectItems({1});
  program.RightPressOnList();
  QCOMPARE(offered.size(), 10);
  program.Render();
  QCOMPARE(program.window().AddressLabel()->text(),
           QString::fromStdString(server.Url("/a/2.html")));

  program.SelectItems({1, 4});
  ChooseFromList(program, "删除选中项");
  QCOMPARE(Shown(program), Titles({1, 3, 4, 6, 7, 8, 9, 10}));
  program.Render();
  QVERIFY(program.window().AddressLabel()->text().isEmpty());

  ChooseFromList(program, "倒序");
  QCOMPARE(Shown(program), Titles({10, 9, 8, 7, 6, 4, 3, 1}));
  ChooseFromList(program, "倒序");
  QCOMPARE(Shown(program), Titles({1, 3, 4, 6, 7, 8, 9, 10}));

  program.SelectItems({1});  // 3, in /a/
  ChooseFromList(program, "清除与选中项相关的链接");
  QCOMPARE(Shown(program), Titles({7, 8, 9, 10}));

  program.SelectItems({0, 1, 2});
  ChooseFromList(program, "复制标题");
  QCOMPARE(QGuiApplication::clipboard()->text(), Q("第9章 夜航\r\n第8章 夜航\r\n第7章 夜航\r\n"));

  program.SelectItems({0, 1, 2, 3});
  ChooseFromList(program, "删除选中项");
  QVERIFY(program.WaitForIdle());
  QVERIFY(Shown(program).isEmpty());
}

void ContextMenusTest::openersGetTheLinkAndTheFolder() {
  // A stand-in for xdg-open on the PATH, writing down what it is given.
  tarnlow::test::TempDir bin;
  const std::filesystem::path opened = bin.Path() / "opened.txt";
  const std::filesystem::path opener =
      bin.Write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + opened.string() + "'\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray(bin.Path().c_str()) + ":" + path);

  TestServer server;
  ServeBook(server, "/list/", TenChapters());
  ProgramUnderTest program(TestBookSettings(server, "/list/"));
  QVERIFY(program.Create());
  program.ClickExecute();
  QVERIFY(program.WaitForContents());
  program.SelectItems({7});
  ChooseFromList(program, "在浏览器打开选中链接...");
  QVERIFY(QTest::qWaitFor([&] { return tarnlow::test::ReadFile(opened).has_value(); }, kTimeoutMs));
  MainMenus::FindAction(program.window().MainMenu(), Q("打开保存位置..."))->trigger();
  qputenv("PATH", path);
  const std::string expected =
      server.Url("/b/8.html") + "\n" + program.program().app().state.downloadFolder + "\n";
  QTRY_COMPARE_WITH_TIMEOUT(tarnlow::test::ReadFile(opened).value_or(""), expected, kTimeoutMs);
}

void ContextMenusTest::statusMenuPutsTheSelectionInABox_data() {
  QTest::addColumn<QString>("item");
  QTest::addColumn<int>("box");
  QTest::addColumn<QString>("selected");
  QTest::addColumn<QString>("shown");    // the box afterwards
  QTest::addColumn<QString>("setting");  // the box's key, or empty
  QTest::addColumn<bool>("picture");     // a picture on the clipboard before, else text

  QTest::newRow("save name drops the slash")
      << "添加到保存名称" << static_cast<int>(Box::SaveName) << "第一卷/序章"
      << "第一卷序章" << QString() << false;
  QTest::newRow("list begin keeps a picture on the clipboard")
      << "添加到目录开始标记" << static_cast<int>(Box::ListBegin) << "<div class=\"mulu\">"
      << "<div class=\"mulu\">"
      << "ListTagBegin" << true;
}

void ContextMenusTest::statusMenuPutsTheSelectionInABox() {
  QFETCH(QString, item);
  QFETCH(int, box);
  QFETCH(QString, selected);
  QFETCH(QString, shown);
  QFETCH(QString, setting);
  QFETCH(bool, picture);

  TestServer server;
  ServeBook(server, "/list/", TenChapters());
  ProgramUnderTest program(TestBookSettings(server, "/list/"));
  QVERIFY(program.Create());
  QStringList offered;
  AnswerMenus look([&](QMenu& menu) { offered = EnabledItems(menu); });
  program.RightReleaseOnStatus();
  QCOMPARE(look.Count(), 0);  // idle: no menu
  program.ClickExecute();
  QVERIFY(program.WaitForContents());
  program.program().model().SetStatus(
      Utf8ToAnsi("<html><h1>第一卷/序章</h1><div class=\"mulu\"><a href=\"1.html\">"), false);
  program.Render();
  program.RightReleaseOnStatus();
  QCOMPARE(look.Count(), 1);
  QVERIFY(offered.isEmpty());  // nothing selected

  StatusPanel* panel = program.window().StatusBox();
  const int start = panel->StatusText().indexOf(selected);
  QVERIFY(start >= 0);
  QTextCursor cursor = panel->textCursor();
  cursor.setPosition(start);
  cursor.setPosition(start + static_cast<int>(selected.size()), QTextCursor::KeepAnchor);
  panel->setTextCursor(cursor);

  QClipboard* clipboard = QGuiApplication::clipboard();
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(Qt::red);
  if (picture)
    clipboard->setImage(image);
  else
    clipboard->setText(Q("剪贴板原文"));

  AnswerMenus choose([&](QMenu& menu) {
    QCOMPARE(EnabledItems(menu).size(), 6);
    MenuItem(menu, item)->trigger();
  });
  program.RightReleaseOnStatus();
  QCOMPARE(choose.Count(), 1);
  program.Render();
  QCOMPARE(program.Box(static_cast<Box>(box))->text(), shown);
  if (!setting.isEmpty())
    QCOMPARE(QString::fromStdString(program.Setting(setting.toUtf8().constData())), shown);
  if (picture) {
    QVERIFY(clipboard->mimeData()->hasImage());
    QCOMPARE(clipboard->image().pixelColor(1, 1), QColor(Qt::red));
  } else {
    QCOMPARE(clipboard->text(), Q("剪贴板原文"));
  }
}

}  // namespace tarnlow::ui::test

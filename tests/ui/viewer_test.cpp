// The viewer window of the real main window: the chapter-text preview with
// its storing rule and 下一章, the run log that follows the log, the page
// source, and the appreciation window.

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <string>

#include "app/app.h"
#include "tests/support/test_server.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "text/codepage.h"
#include "ui/appreciation.h"
#include "ui/menus.h"
#include "ui/viewer.h"

namespace tarnlow::ui::test {

namespace {

using tarnlow::test::TestServer;

TestChapter Chapter(int n, std::string text) {
  const std::string number = std::to_string(n);
  return {"/a/" + number + ".html", "第" + number + "章 夜航", std::move(text)};
}

// Chooses an item of the list menu; the viewer it opens goes to `answer`.
void ViewFromList(ProgramUnderTest& program, const char* caption,
                  const std::function<void(Viewer&)>& answer) {
  AnswerDialogs dialogs([&](QDialog& dialog) {
    auto* viewer = dynamic_cast<Viewer*>(&dialog);
    QVERIFY(viewer != nullptr);
    answer(*viewer);
    if (viewer->isVisible()) viewer->reject();
  });
  AnswerMenus menus([&](QMenu& menu) { MenuItem(menu, Q(caption))->trigger(); });
  program.RightPressOnList();
  QCOMPARE(dialogs.Count(), 1);
}

bool Fetched(const Viewer& viewer) {
  return QTest::qWaitFor([&] { return viewer.OkButton()->isEnabled(); }, kTimeoutMs);
}

}  // namespace

void ViewerTest::previewStoresOnlyLongTexts_data() {
  QTest::addColumn<int>("length");  // of the text cut from the page, its line end included
  QTest::addColumn<bool>("stored");
  QTest::addColumn<QString>("fontSize2");
  QTest::addColumn<int>("pointSize");

  QTest::newRow("200 bytes shown, not kept; size 15 not taken") << 200 << false << "15" << 9;
  QTest::newRow("201 bytes kept; size 14 taken") << 201 << true << "14" << 14;
}

void ViewerTest::previewStoresOnlyLongTexts() {
  QFETCH(int, length);
  QFETCH(bool, stored);
  QFETCH(QString, fontSize2);
  QFETCH(int, pointSize);

  TestServer server;
  const std::string body(static_cast<std::size_t>(length) - 2, 'x');  // + "\r\n"
  ServeBook(server, "/list/", {Chapter(1, body), Chapter(2, "second")});
  SettingList settings = TestBookSettings(server, "/list/");
  settings.emplace_back("FontSize2", fontSize2.toStdString());
  ProgramUnderTest program(settings);
  QVERIFY(program.Create());
  program.ClickExecute();
  QVERIFY(program.WaitForContents());
  App& app = program.program().app();

  program.SelectItems({0});
  ViewFromList(program, "查看文本...", [&](Viewer& viewer) {
    // Both buttons wait for the fetch.
    QVERIFY(viewer.Fetching() && !viewer.OkButton()->isEnabled() &&
            !viewer.NextButton()->isEnabled());
    QVERIFY(Fetched(viewer));
    QCOMPARE(viewer.Heading()->text(), Q("预览 - 第1章 夜航"));
    QCOMPARE(viewer.Edit()->StatusText(), QString::fromStdString(body) + "\n");
    QCOMPARE(viewer.Edit()->font().pointSize(), pointSize);
    QCOMPARE(viewer.width(), 800);
    QVERIFY(viewer.NextButton()->isVisible() && viewer.NextButton()->isEnabled());
    QTest::mouseClick(viewer.OkButton(), Qt::LeftButton);
    QVERIFY(!viewer.isVisible());
  });
  QCOMPARE(program.window().ViewerRecord().chapter, 0);
  QCOMPARE(app.chapters.HasText(0), stored);
  if (stored) QCOMPARE(app.chapters.Text(0).size(), static_cast<std::size_t>(length));

  // Opened again: a kept text shows without a fetch.
  ViewFromList(program, "查看文本...", [&](Viewer& viewer) { QVERIFY(Fetched(viewer)); });
  QCOMPARE(server.RequestCount("/a/1.html"), stored ? 1 : 2);
}

void ViewerTest::nextChapterStopsAtTheLastEntry() {
  TestServer server;
  ServeBook(server, "/list/", {Chapter(1, "one"), Chapter(2, "two"), Chapter(3, "three")});
  ProgramUnderTest program(TestBookSettings(server, "/list/"));
  QVERIFY(program.Create());
  program.ClickExecute();
  QVERIFY(program.WaitForContents());
  program.Render();

  int opened = 0;
  AnswerDialogs dialogs([&](QDialog& dialog) {
    auto* viewer = dynamic_cast<Viewer*>(&dialog);
    QVERIFY(viewer != nullptr);
    ++opened;
    QVERIFY(Fetched(*viewer));
    QCOMPARE(viewer->Edit()->StatusText(), Q("two\n"));
    QVERIFY(viewer->NextButton()->isEnabled());
    QTest::mouseClick(viewer->NextButton(), Qt::LeftButton);
    QVERIFY(Fetched(*viewer));
    QCOMPARE(viewer->Heading()->text(), Q("预览 - 第3章 夜航"));
    QCOMPARE(viewer->Edit()->StatusText(), Q("three\n"));
    QVERIFY(!viewer->NextButton()->isEnabled());
    QCOMPARE(program.window().ViewerRecord().chapter, 3);
    QTest::mouseClick(viewer->OkButton(), Qt::LeftButton);
  });
  // A double click on the second title.
  QListView* list = program.window().ListBox();
  const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
  QCOMPARE(opened, 1);
  QCOMPARE(program.window().ViewerRecord().chapter, 0);
}

void ViewerTest::pageSourceShowsThePageOrItsFailure_data() {
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("begins");
  QTest::newRow("page") << 200 << "<html><body><div id=\"content\">one</div>";
  QTest::newRow("not found") << 404 << " 网页获取失败！错误代码：";
}

void ViewerTest::pageSourceShowsThePageOrItsFailure() {
  QFETCH(int, status);
  QFETCH(QString, begins);
  TestServer server;
  ServeBook(server, "/list/", {Chapter(1, "one")});
  if (status != 200) server.Serve("/a/1.html", "gone", "text/html", status);
  ProgramUnderTest program(TestBookSettings(server, "/list/"));
  QVERIFY(program.Create());
  program.ClickExecute();
  QVERIFY(program.WaitForContents());
  program.SelectItems({0});
  ViewFromList(program, "查看源码...", [&](Viewer& viewer) {
    QCOMPARE(viewer.Heading()->text(), Q("查看源码"));
    QCOMPARE(viewer.width(), 500);
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.Fetching(), kTimeoutMs);
    QVERIFY2(viewer.Edit()->StatusText().startsWith(begins),
             qPrintable(viewer.Edit()->StatusText().left(80)));
  });
}

void ViewerTest::logViewFollowsTheRunLog() {
  ProgramUnderTest program(SettingList{{"LogRefresh", "50"}});
  QVERIFY(program.Create());
  App& app = program.program().app();
  app.log.Clear();
  int opened = 0;
  AnswerDialogs dialogs([&](QDialog& dialog) {
    auto* viewer = dynamic_cast<Viewer*>(&dialog);
    QVERIFY(viewer != nullptr);
    ++opened;
    QCOMPARE(viewer->Heading()->text(), Q("日志 （仅保留单次执行记录）"));
    QCOMPARE(viewer->width(), 600);
    QCOMPARE(viewer->RefreshTimer()->interval(), 100);  // at least 100 ms
    QTest::qWait(250);
    QCOMPARE(viewer->Edit()->StatusText(), QString());  // an empty log at opening
    app.log.AddEntry(Utf8ToAnsi("第1章 读取失败！\r\n\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(viewer->Edit()->StatusText().contains(Q("第1章 读取失败！")),
                             kTimeoutMs);
    app.log.Clear();
    QTRY_COMPARE_WITH_TIMEOUT(viewer->Edit()->StatusText(), Q("无记录"), kTimeoutMs);
    QTest::mouseClick(viewer->OkButton(), Qt::LeftButton);
  });
  MainMenus::FindAction(program.window().HelpMenu(), Q("日志..."))->trigger();
  QCOMPARE(opened, 1);
}

void ViewerTest::appreciationClosesOnALeftClick() {
  QCOMPARE(AppreciationWindow::Picture().size(), QSize(519, 519));
  ProgramUnderTest program;
  QVERIFY(program.Create());
  int opened = 0;
  AnswerDialogs dialogs([&](QDialog& dialog) {
    ++opened;
    QCOMPARE(dialog.size(), QSize(350, 350));
    QTest::mouseClick(&dialog, Qt::RightButton);
    QVERIFY(dialog.isVisible());
    QTest::mouseClick(&dialog, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
  });
  MainMenus::FindAction(program.window().HelpMenu(), Q("赞赏..."))->trigger();
  QCOMPARE(opened, 1);
}

}  // namespace tarnlow::ui::test

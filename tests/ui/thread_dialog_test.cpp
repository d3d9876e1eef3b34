// The input dialog in its thread-count mode, opened from the 线程数... item
// of the real main window and answered by the test.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/app.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "ui/input_dialog.h"
#include "ui/modal.h"

namespace tarnlow::ui::test {

namespace {

// Answers the next dialogs with `answer`, for as long as it lives.
class DialogAnswer {
 public:
  explicit DialogAnswer(std::function<void(InputDialog&)> answer) {
    SetDialogAnswerer([answer = std::move(answer)](QDialog& dialog) {
      auto* input = dynamic_cast<InputDialog*>(&dialog);
      QVERIFY(input != nullptr);
      input->show();
      answer(*input);
    });
  }
  ~DialogAnswer() { SetDialogAnswerer({}); }
};

}  // namespace

void ThreadDialogTest::threadCount_data() {
  QTest::addColumn<QString>("setting");  // Thread in config.ini at start
  QTest::addColumn<QString>("action");   // what the user does before the button
  QTest::addColumn<bool>("save");        // 保存, else 取消
  QTest::addColumn<QString>("opened");   // the box when the dialog opens
  QTest::addColumn<QString>("before");   // the box when the button is pressed
  QTest::addColumn<int>("threads");      // RunState.threadCount afterwards
  QTest::addColumn<QString>("saved");    // Thread in config.ini afterwards

  QTest::newRow("50 shows 9") << "50"
                              << "" << true << "9"
                              << "9" << 9 << "9";
  QTest::newRow("10 stays 10") << "10"
                               << "" << true << "10"
                               << "10" << 10 << "10";
  QTest::newRow("deleting the digit shows 1") << "3"
                                              << "backspace" << true << "3"
                                              << "1" << 1 << "1";
  QTest::newRow("a second digit cannot be typed") << "3"
                                                  << "type 7" << true << "3"
                                                  << "3" << 3 << "3";
  QTest::newRow("0 typed shows 1") << "6"
                                   << "replace 0" << true << "6"
                                   << "1" << 1 << "1";
  QTest::newRow("cancel keeps the count") << "4"
                                          << "replace 8" << false << "4"
                                          << "8" << 4 << "4";
}

void ThreadDialogTest::threadCount() {
  QFETCH(QString, setting);
  QFETCH(QString, action);
  QFETCH(bool, save);
  QFETCH(QString, opened);
  QFETCH(QString, before);
  QFETCH(int, threads);
  QFETCH(QString, saved);

  ProgramUnderTest program({{"Thread", setting.toStdString()}, {"OnTop", "1"}});
  QVERIFY(program.Create());

  bool answered = false;
  DialogAnswer answer([&](InputDialog& dialog) {
    QCOMPARE(dialog.windowTitle(), Q("   输入内容"));
    QCOMPARE(dialog.Label1()->text(), Q("输入线程数，默认线程数为 3"));
    QCOMPARE(dialog.Label2()->text(), Q("线程数范围 1 - 9，建议设置线程数为 2 - 5"));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // The one-line layout.
    QVERIFY(dialog.IsOneLine());
    QCOMPARE(dialog.size(), QSize(328, 190));
    QCOMPARE(dialog.EditGeometry(), QRect(26, 80, 274, 30));
    QCOMPARE(dialog.SaveButton()->geometry().topLeft(), QPoint(96, 130));
    QCOMPARE(dialog.CancelButton()->geometry().topLeft(), QPoint(204, 130));

    QLineEdit* edit = dialog.OneLineEdit();
    QCOMPARE(edit->text(), opened);
    QCOMPARE(edit->cursorPosition(), opened.size());
    edit->setFocus();
    if (action == "backspace") {
      QTest::keyClick(edit, Qt::Key_Backspace);
    } else if (action.startsWith("type ")) {
      QTest::keyClicks(edit, action.mid(5));
    } else if (action.startsWith("replace ")) {
      edit->selectAll();
      QTest::keyClicks(edit, action.mid(8));
    }
    QCOMPARE(edit->text(), before);
    QTest::mouseClick(save ? dialog.SaveButton() : dialog.CancelButton(), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    answered = true;
  });
  QAction* threadItem = nullptr;
  for (QAction* item : program.window().MainMenu()->actions()) {
    if (item->text() == Q("线程数...")) threadItem = item;
  }
  QVERIFY(threadItem != nullptr);
  threadItem->trigger();
  QVERIFY(answered);

  QCOMPARE(program.program().app().state.threadCount.load(), threads);
  QCOMPARE(QString::fromStdString(program.Setting("Thread")), saved);
  const InputDialogState& record = program.window().InputDialogRecord();
  QCOMPARE(record.mode, 2);
  QVERIFY(!record.result);
}

}  // namespace tarnlow::ui::test

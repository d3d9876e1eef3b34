// The clipboard watcher of the real main window: which copies it offers,
// the toast in both modes, the stored list and an open batch dialog.

#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/app.h"
#include "commands/command_thread.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "ui/clipboard_watcher.h"
#include "ui/input_dialog.h"
#include "ui/menus.h"
#include "ui/qt_text.h"
#include "ui/toast.h"

namespace tarnlow::ui::test {

namespace {

const QString kAddress = QStringLiteral("http://www.book.com/12/");

void Copy(const QString& text) { QGuiApplication::clipboard()->setText(text); }

QPoint TopCentre(const QSize& size) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  return {screen.x() + screen.width() / 2 - size.width() / 2, screen.y()};
}

// Several ticks of the watcher.
void WaitTicks() { QTest::qWait(1500); }

// How long the toast stays open from now (its own timer closes it).
// The interval of the toast's closing clock while it runs; -1 when it does
// not run. The clock starts as the toast shows, a little before a test sees
// the toast, so the interval is what tells how long it stays.
int RunningClockMs(const Toast& toast) {
  const auto* clock = toast.findChild<QTimer*>(QStringLiteral("时钟1"));
  return clock != nullptr && clock->isActive() ? clock->interval() : -1;
}

qint64 MsUntilClosed(const Toast& toast) {
  QElapsedTimer shown;
  shown.start();
  if (!QTest::qWaitFor([&] { return !toast.isVisible(); }, kTimeoutMs)) return -1;
  return shown.elapsed();
}

}  // namespace

void ClipboardTest::manualToastLeftAloneThenTheSameCopyIgnored() {
  Copy(QString());
  ProgramUnderTest program(SettingList{{"MonitorClip", "1"}});
  QVERIFY(program.Create());
  program.Render();
  QVERIFY(program.window().ClipboardTimer()->isActive());

  qint64 shownFor = 0;
  AnswerDialogs toasts([&](QDialog& dialog) {
    auto* toast = dynamic_cast<Toast*>(&dialog);
    QVERIFY(toast != nullptr);
    QCOMPARE(toast->size(), QSize(150, 58));
    QCOMPARE(toast->pos(), TopCentre(toast->size()));
    QVERIFY(toast->Button()->isVisible() && !toast->Label()->isVisible());
    QCOMPARE(RunningClockMs(*toast), 3000);
    shownFor = MsUntilClosed(*toast);
  });
  Copy(kAddress);
  QTRY_COMPARE_WITH_TIMEOUT(toasts.Count(), 1, kTimeoutMs);
  QVERIFY2(shownFor >= 0, "the toast must close by itself");
  QCOMPARE(program.Setting("Webs"), std::string("<missing>"));
  QVERIFY(program.Box(Box::Address)->text().isEmpty());
  QCOMPARE(ToQt(program.window().Watcher().LastClipboardText()), kAddress);

  Copy(kAddress);  // the same address copied again
  WaitTicks();
  QCOMPARE(toasts.Count(), 1);
}

void ClipboardTest::manualToastButtonAddsTheAddress() {
  Copy(QString());
  const QString old = QStringLiteral("http://www.old.com/a/");
  const QString typed = QStringLiteral("http://www.typed.com/b/");
  ProgramUnderTest program(SettingList{{"MonitorClip", "1"}, {"Webs", old.toStdString() + "||"}});
  QVERIFY(program.Create());

  int toasts = 0;
  AnswerDialogs dialogs([&](QDialog& dialog) {
    if (auto* toast = dynamic_cast<Toast*>(&dialog)) {
      ++toasts;
      // Copied since the toast opened: the button still adds what it offers.
      Copy(Q("别的文字"));
      QTest::mouseClick(toast->Button(), Qt::LeftButton);
      QVERIFY(!toast->isVisible());
      return;
    }
    // The batch dialog, open while the address is copied; a line typed in
    // it and not stored yet stays.
    auto* input = dynamic_cast<InputDialog*>(&dialog);
    QVERIFY(input != nullptr);
    QCOMPARE(input->Text(), old + "\n");
    input->SetText(input->Text() + typed + "\n");
    Copy(kAddress);
    QTRY_VERIFY_WITH_TIMEOUT(input->Text().contains(kAddress), kTimeoutMs);
    QCOMPARE(input->Text(), old + "\n" + typed + "\n" + kAddress + "\n");
    QTest::mouseClick(input->CancelButton(), Qt::LeftButton);
  });
  MainMenus::FindAction(program.window().MainMenu(), Q("批处理..."))->trigger();
  QCOMPARE(toasts, 1);
  QCOMPARE(program.Setting("Webs"), (old + "||" + kAddress + "||").toStdString());
  program.Render();
  QCOMPARE(program.Box(Box::Address)->text(), kAddress);
  QCOMPARE(program.Setting("Website"), kAddress.toStdString());
  QCOMPARE(ToQt(program.window().Watcher().LastClipboardText()), kAddress);
}

void ClipboardTest::autoModeAddsBeforeTheToast() {
  Copy(QString());
  ProgramUnderTest program(SettingList{{"MonitorClip", "1"}, {"AutoMonitorClip", "1"}});
  QVERIFY(program.Create());
  qint64 shownFor = 0;
  AnswerDialogs toasts([&](QDialog& dialog) {
    auto* toast = dynamic_cast<Toast*>(&dialog);
    QVERIFY(toast != nullptr);
    QVERIFY(toast->Label()->isVisible() && !toast->Button()->isVisible());
    QCOMPARE(toast->Label()->text(), Q("已复制"));
    QVERIFY(toast->Label()->font().bold());
    QCOMPARE(program.Setting("Webs"), (kAddress + "||").toStdString());
    QCOMPARE(RunningClockMs(*toast), 1000);
    shownFor = MsUntilClosed(*toast);
  });
  Copy(kAddress);
  QTRY_COMPARE_WITH_TIMEOUT(toasts.Count(), 1, kTimeoutMs);
  QVERIFY2(shownFor >= 0, "the toast must close by itself");
  program.Render();
  QCOMPARE(program.Box(Box::Address)->text(), kAddress);
}

void ClipboardTest::knownAddressesOfferNoToast_data() {
  QTest::addColumn<QString>("key");
  QTest::newRow("in the stored list") << "Webs";
  QTest::newRow("in the address box") << "Website";
}

void ClipboardTest::knownAddressesOfferNoToast() {
  QFETCH(QString, key);
  Copy(QString());
  const std::string value =
      key == QStringLiteral("Webs") ? kAddress.toStdString() + "||" : kAddress.toStdString();
  ProgramUnderTest program(SettingList{{"MonitorClip", "1"}, {key.toStdString(), value}});
  QVERIFY(program.Create());
  AnswerDialogs toasts([](QDialog& dialog) { dialog.reject(); });
  Copy(kAddress);
  WaitTicks();
  QCOMPARE(toasts.Count(), 0);
  // Not taken as seen: the check repeats until the clipboard changes.
  QVERIFY(program.window().Watcher().LastClipboardText().empty());
}

void ClipboardTest::aCommandStopsTheWatcher() {
  ProgramUnderTest program(SettingList{{"MonitorClip", "1"}});
  QVERIFY(program.Create());
  std::atomic<bool> release{false};
  QVERIFY(program.program().commands().Start([&] {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }));
  QTRY_VERIFY_WITH_TIMEOUT(!program.window().ClipboardTimer()->isActive(), kTimeoutMs);
  QVERIFY(MainMenus::FindAction(program.window().HelpMenu(), Q("监视剪辑版"))->isChecked());
  release = true;
  QTRY_VERIFY_WITH_TIMEOUT(!program.CommandRunning(), kTimeoutMs);
  ResetMainWindow(program.program().app());  // the reset starts it again
  program.Render();
  QVERIFY(program.window().ClipboardTimer()->isActive());
}

}  // namespace tarnlow::ui::test

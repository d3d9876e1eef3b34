// The menu bar of the real main window: every toggle writes its key at
// once, the radio groups write only a change.

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "app/app.h"
#include "app/settings.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "ui/main_window.h"
#include "ui/menus.h"

namespace tarnlow::ui::test {

void MenusTest::togglesWriteTheirKeys() {
  ProgramUnderTest program;
  QVERIFY(program.Create());
  MainWindow& window = program.window();
  program.Render();
  const struct {
    const char* caption;
    const char* key;
    bool defaultOn;
  } toggles[] = {
      {"自动重置章节编号", "AddNum", false},
      {"自动清理可疑的链接", "CleanDubiousList", false},
      {"标记取目录时不清理可疑链接", "OffCleanDubiousList", false},
      {"自动取下一页目录", "GetNextPage", true},
      {"监视剪辑版时自动添加", "AutoMonitorClip", false},
      {"自动识别目录", "AutoList", true},
      {"自动识别正文", "AutoText", true},
      {"下载后体检", "HealthReport", true},
      {"窗口置顶", "OnTop", false},
      {"监视剪辑版", "MonitorClip", false},
  };
  for (const auto& toggle : toggles) {
    QAction* item = MainMenus::FindAction(window.MainMenu(), Q(toggle.caption));
    if (item == nullptr) item = MainMenus::FindAction(window.HelpMenu(), Q(toggle.caption));
    QVERIFY2(item != nullptr, toggle.caption);
    QCOMPARE(item->isChecked(), toggle.defaultOn);
    for (bool on : {!toggle.defaultOn, toggle.defaultOn}) {
      item->trigger();
      QCOMPARE(program.Setting(toggle.key), std::string(on ? "1" : "0"));
      program.Render();
      QVERIFY2(item->isChecked() == on, toggle.caption);
    }
  }

  // The two with more to do than their key.
  QAction* monitor = MainMenus::FindAction(window.HelpMenu(), Q("监视剪辑版"));
  monitor->trigger();
  program.Render();
  QVERIFY(window.ClipboardTimer()->isActive());
  QCOMPARE(window.ClipboardTimer()->interval(), 500);
  monitor->trigger();
  program.Render();
  QVERIFY(!window.ClipboardTimer()->isActive());
  MainMenus::FindAction(window.HelpMenu(), Q("窗口置顶"))->trigger();
  program.Render();
  QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void MenusTest::radioGroupsWriteOnce_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("stored");  // the key's value at start
  QTest::addColumn<QString>("item");    // chosen twice
  QTest::addColumn<int>("value");       // the run's number afterwards
  QTest::addColumn<QString>("other");   // another item, chosen last
  QTest::addColumn<int>("otherValue");

  QTest::newRow("file name format") << "Author&book_name"
                                    << "0"
                                    << "作者-文件名" << 2 << "文件名" << 0;
  QTest::newRow("line mode") << "LineMode"
                             << "1"
                             << "在句号处换行" << 2 << "默认换行 <br />" << 0;
  // A number none of the items has: the first is checked, the run keeps the
  // number, and choosing the checked first item changes nothing.
  QTest::newRow("file name format 7") << "Author&book_name"
                                      << "7"
                                      << "文件名" << 7 << "作者_文件名" << 4;
}

void MenusTest::radioGroupsWriteOnce() {
  QFETCH(QString, key);
  QFETCH(QString, stored);
  QFETCH(QString, item);
  QFETCH(int, value);
  QFETCH(QString, other);
  QFETCH(int, otherValue);

  ProgramUnderTest program(SettingList{{key.toStdString(), stored.toStdString()}});
  QVERIFY(program.Create());
  MainWindow& window = program.window();
  const bool fileNames = key == QStringLiteral("Author&book_name");
  const RadioGroup group = fileNames ? RadioGroup::FileNameFormat : RadioGroup::LineMode;
  const auto runValue = [&] {
    App& app = program.program().app();
    return fileNames ? app.state.fileNameFormat.load() : app.state.lineMode.load();
  };
  const auto checked = [&] {
    QStringList items;
    for (int i = 0; i < RadioItemCount(group); ++i) {
      if (window.Menus().RadioAction(group, i)->isChecked())
        items << window.Menus().RadioAction(group, i)->text();
    }
    return items;
  };
  const std::string keyName = key.toStdString();
  QCOMPARE(checked().size(), 1);

  QAction* chosen = MainMenus::FindAction(window.MainMenu(), item);
  QVERIFY(chosen != nullptr);
  chosen->trigger();
  QCOMPARE(runValue(), value);
  QCOMPARE(checked(), QStringList{item});
  // A second choice of the checked item writes nothing: a value put into
  // the file meanwhile stays.
  Settings(program.Dir()).Write(keyName, "9");
  chosen->trigger();
  QCOMPARE(program.Setting(keyName.c_str()), std::string("9"));
  QCOMPARE(runValue(), value);

  MainMenus::FindAction(window.MainMenu(), other)->trigger();
  QCOMPARE(checked(), QStringList{other});
  QCOMPARE(runValue(), otherValue);
  QCOMPARE(program.Setting(keyName.c_str()), std::to_string(otherValue));
}

}  // namespace tarnlow::ui::test

// Start-up of the real main window: the library check, the settings as the
// window shows them, and the boxes' handlers.

#include <QDir>
#include <QLabel>
#include <QTest>

#include <fstream>

#include "app/app.h"
#include "app/program_dir.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "text/codepage.h"
#include "ui/libraries.h"

namespace tarnlow::ui::test {

namespace fs = std::filesystem;
using Settings = std::vector<std::pair<std::string, std::string>>;

void StartupTest::missingLibraryWarnsOncePerFileAndShowsNoWindow_data() {
  QTest::addColumn<QStringList>("present");   // files in the library folder
  QTest::addColumn<QStringList>("unusable");  // of those, files that are not libraries
  QTest::addColumn<int>("warnings");
  QTest::newRow("Quillet and Delay missing")
      << QStringList{"libPenumbrix.so"} << QStringList{} << 2;
  QTest::newRow("all missing") << QStringList{} << QStringList{} << 3;
  // A file that is there but cannot be loaded would crash the first call.
  QTest::newRow("Quillet not a library")
      << QStringList{"libPenumbrix.so", "libQuillet.so", "libDelay.so"}
      << QStringList{"libQuillet.so"} << 1;
}

void StartupTest::missingLibraryWarnsOncePerFileAndShowsNoWindow() {
  QFETCH(QStringList, present);
  QFETCH(QStringList, unusable);
  QFETCH(int, warnings);
  tarnlow::test::TempDir libraries;
  for (const QString& file : present) {
    const fs::path name = file.toStdString();
    if (unusable.contains(file))
      libraries.Write(name, "not a library");
    else
      fs::copy_file(ExecutableDir() / name, libraries.Path() / name);
  }

  ProgramUnderTest program({}, libraries.Path());
  QVERIFY(!program.Create());
  const std::vector<MessageRecord> shown = program.messages().Messages();
  QCOMPARE(static_cast<int>(shown.size()), warnings);
  for (const MessageRecord& message : shown) {
    QCOMPARE(GbkToUtf8(message.text), std::string("文件丢失，无法继续，请重新下载！"));
    QCOMPARE(GbkToUtf8(message.title), std::string("警告"));
    QVERIFY(message.icon == MessageIcon::Exclamation);
  }
  QVERIFY(!program.window().isVisible());
  // Nothing of the start-up after the check ran: no setting was saved.
  QVERIFY(!fs::exists(program.Dir() / "config.ini"));
}

void StartupTest::settingsAsTheWindowShowsThem_data() {
  QTest::addColumn<Settings>("settings");
  QTest::addColumn<QString>("delayBox");
  QTest::addColumn<QString>("retryBox");
  QTest::addColumn<int>("threads");
  QTest::addColumn<QString>("savedDelay");  // config.ini after start

  QTest::newRow("defaults") << Settings{} << "1000"
                            << "10" << 3 << "1000";
  // The box's handler saves what start-up put in, clamped.
  QTest::newRow("Delay 50") << Settings{{"Delay", "50"}} << "100"
                            << "10" << 3 << "100";
  QTest::newRow("Thread 0, Retry -3") << Settings{{"Thread", "0"}, {"Retry", "-3"}} << "1000"
                                      << "0" << 1 << "1000";
  QTest::newRow("Thread 250") << Settings{{"Thread", "250"}} << "1000"
                              << "10" << 99 << "1000";
  QTest::newRow("Download names a missing folder")
      << Settings{{"Download", "/nonexistent/书"}} << "1000"
      << "10" << 3 << "1000";
}

void StartupTest::settingsAsTheWindowShowsThem() {
  QFETCH(Settings, settings);
  QFETCH(QString, delayBox);
  QFETCH(QString, retryBox);
  QFETCH(int, threads);
  QFETCH(QString, savedDelay);
  settings.emplace_back("Website", "http://127.0.0.1/书/");
  settings.emplace_back("TextBegin", "<div id=\"content\">");

  ProgramUnderTest program(settings);
  QVERIFY(program.Create());
  QVERIFY(program.messages().Messages().empty());
  MainWindow& window = program.window();
  QVERIFY(window.isVisible());

  QCOMPARE(window.windowTitle(), Q("Tarnlow  2.08.03"));
  QCOMPARE(program.Caption(), Q("取目录列表"));
  QVERIFY(program.StatusText().startsWith(Q("\n操作步骤：1、取目录列表          2、取章节文本")));
  QVERIFY(!window.CancelButton()->isEnabled());
  QCOMPARE(program.Box(Box::DelayMs)->text(), delayBox);
  QCOMPARE(program.Box(Box::Retry)->text(), retryBox);
  QCOMPARE(program.Box(Box::Address)->text(), Q("http://127.0.0.1/书/"));
  QCOMPARE(program.Box(Box::TextBegin)->text(), Q("<div id=\"content\">"));
  QCOMPARE(program.Box(Box::ListEnd)->text(), Q("</div>"));
  QCOMPARE(program.program().app().state.threadCount.load(), threads);
  QCOMPARE(QString::fromStdString(program.Setting("Delay")), savedDelay);
  QCOMPARE(fs::path(program.program().app().state.downloadFolder), program.Dir() / "Download");

  // Every control has the one font; where its family is not installed an
  // installed Chinese family follows it.
  const QFont font = program.Box(Box::Address)->font();
  QCOMPARE(font.families().value(0), Q("微软雅黑"));
  QVERIFY(font.families().size() > 1);
  QCOMPARE(font.pointSize(), 9);
  for (QWidget* control : std::initializer_list<QWidget*>{
           window.ExecuteButton(), window.CancelButton(), window.ListBox(), window.StatusBox(),
           window.AddressLabel(), program.Box(Box::DelayMs),
           window.findChild<QLabel*>(Q("标签1"))}) {
    QCOMPARE(control->font(), font);
  }
}

void StartupTest::boxEditsFollowTheirRules_data() {
  QTest::addColumn<int>("box");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QString>("key");  // empty: saved nowhere
  QTest::addColumn<QString>("saved");

  QTest::newRow("retry 0") << int(Box::Retry) << "0"
                           << "0"
                           << "Retry"
                           << "0";
  QTest::newRow("retry -3") << int(Box::Retry) << "-3"
                            << "0"
                            << "Retry"
                            << "0";
  QTest::newRow("retry 7") << int(Box::Retry) << "7"
                           << "7"
                           << "Retry"
                           << "7";
  QTest::newRow("milliseconds cleared") << int(Box::DelayMs) << ""
                                        << "1"
                                        << "Delay"
                                        << "1";
  QTest::newRow("milliseconds 50") << int(Box::DelayMs) << "50"
                                   << "50"
                                   << "Delay"
                                   << "50";
  QTest::newRow("save name") << int(Box::SaveName) << "第一卷/序章:a*b?c\\d"
                             << "第一卷序章abcd"
                             << ""
                             << "";
  QTest::newRow("address") << int(Box::Address) << "http://127.0.0.1/新/"
                           << "http://127.0.0.1/新/"
                           << "Website"
                           << "http://127.0.0.1/新/";
  QTest::newRow("list begin") << int(Box::ListBegin) << "<dl>"
                              << "<dl>"
                              << "ListTagBegin"
                              << "<dl>";
  QTest::newRow("list end") << int(Box::ListEnd) << "</dl>"
                            << "</dl>"
                            << "ListTagEnd"
                            << "</dl>";
  QTest::newRow("text begin") << int(Box::TextBegin) << "<p>"
                              << "<p>"
                              << "TextBegin"
                              << "<p>";
  QTest::newRow("text end") << int(Box::TextEnd) << "</p>"
                            << "</p>"
                            << "TextEnd"
                            << "</p>";
}

void StartupTest::boxEditsFollowTheirRules() {
  QFETCH(int, box);
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  QFETCH(QString, key);
  QFETCH(QString, saved);

  ProgramUnderTest program;
  QVERIFY(program.Create());
  const auto which = static_cast<tarnlow::Box>(box);
  program.Type(which, typed);
  QLineEdit* edit = program.Box(which);
  QCOMPARE(edit->text(), shown);
  QCOMPARE(edit->cursorPosition(), shown.size());
  QCOMPARE(QString::fromStdString(GbkToUtf8(program.program().model().GetBox(which))), shown);
  if (!key.isEmpty()) QCOMPARE(QString::fromStdString(program.Setting(key.toUtf8())), saved);

  const RunState& state = program.program().app().state;
  if (which == Box::Retry) QCOMPARE(state.retryCount.load(), shown.toInt());
  if (which == Box::DelayMs) QCOMPARE(state.delayMs.load(), shown.toInt());

  // What the model keeps is drawn once more without echoing into it.
  program.window().FlushModel();
  QCOMPARE(edit->text(), shown);
}

// A user file that is a folder counts as missing; the window says so under
// its help text, which start-up must not write over the notice.
void StartupTest::unreadableFilesNamedBelowTheHelpText() {
  ProgramUnderTest program;
  for (const char* name : {"log.log", "cleantxt.list", "config.ini"}) {
    fs::remove(program.Dir() / name);
    fs::create_directory(program.Dir() / name);
  }
  QVERIFY(program.Create());
  program.Render();
  const QString status = program.StatusText();
  QVERIFY2(status.startsWith(Q("\n操作步骤：")), qPrintable(status));
  for (const char* name : {"log.log", "cleantxt.list", "config.ini"}) {
    QVERIFY2(status.contains(Q("无法读取 ") + Q(name) + Q("（是一个文件夹）")), qPrintable(status));
  }
}

}  // namespace tarnlow::ui::test

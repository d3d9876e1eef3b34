#pragma once
// The GUI test classes; ui_test_main runs the one named on its command line,
// or all of them.

#include <QObject>

namespace tarnlow::ui::test {

class StartupTest : public QObject {
  Q_OBJECT
 private slots:
  void missingLibraryWarnsOncePerFileAndShowsNoWindow_data();
  void missingLibraryWarnsOncePerFileAndShowsNoWindow();
  void settingsAsTheWindowShowsThem_data();
  void settingsAsTheWindowShowsThem();
  void boxEditsFollowTheirRules_data();
  void boxEditsFollowTheirRules();
};

class CommandsTest : public QObject {
  Q_OBJECT
 private slots:
  void bothCommandsEndToEnd();
  void cancelInEachCommand_data();
  void cancelInEachCommand();
  void closeDuringChapterRunEndsWithoutSaving();
  void commandMessageIsAnsweredOnTheUiThread();
};

class ThreadDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void threadCount_data();
  void threadCount();
};

class StatusPanelTest : public QObject {
  Q_OBJECT
 private slots:
  void longLinesAreCutForDisplayOnly_data();
  void longLinesAreCutForDisplayOnly();
};

class ListFeedTest : public QObject {
  Q_OBJECT
 private slots:
  void itemStormEndsAsTheModelSays();
};

}  // namespace tarnlow::ui::test

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
  void unreadableFilesNamedBelowTheHelpText();
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

class MenusTest : public QObject {
  Q_OBJECT
 private slots:
  void togglesWriteTheirKeys();
  void radioGroupsWriteOnce_data();
  void radioGroupsWriteOnce();
};

class ContextMenusTest : public QObject {
  Q_OBJECT
 private slots:
  void listMenuEditsListBoxAndChaptersTogether();
  void openersGetTheLinkAndTheFolder();
  void statusMenuPutsTheSelectionInABox_data();
  void statusMenuPutsTheSelectionInABox();
};

class ViewerTest : public QObject {
  Q_OBJECT
 private slots:
  void previewStoresOnlyLongTexts_data();
  void previewStoresOnlyLongTexts();
  void nextChapterStopsAtTheLastEntry();
  void pageSourceShowsThePageOrItsFailure_data();
  void pageSourceShowsThePageOrItsFailure();
  void logViewFollowsTheRunLog();
  void appreciationClosesOnALeftClick();
};

class DialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void batchRightClickStoresLeftClickRuns();
  void batchRefusals_data();
  void batchRefusals();
  void cleanRulesEditor_data();
  void cleanRulesEditor();
  void updateSavedBookFromTheMenu();
};

class ClipboardTest : public QObject {
  Q_OBJECT
 private slots:
  void manualToastLeftAloneThenTheSameCopyIgnored();
  void manualToastButtonAddsTheAddress();
  void autoModeAddsBeforeTheToast();
  void knownAddressesOfferNoToast_data();
  void knownAddressesOfferNoToast();
  void aCommandStopsTheWatcher();
};

}  // namespace tarnlow::ui::test

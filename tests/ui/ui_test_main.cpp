// Runs the GUI test classes on the offscreen platform: `ui_test CLASS
// [QtTest options]` runs one class, `ui_test` all of them.

#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/ui/ui_tests.h"
#include "ui/fonts.h"

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);

  using namespace tarnlow::ui::test;
  StartupTest startup;
  CommandsTest commands;
  ThreadDialogTest threadDialog;
  StatusPanelTest statusPanel;
  ListFeedTest listFeed;
  MenusTest menus;
  ContextMenusTest contextMenus;
  ViewerTest viewer;
  DialogsTest dialogs;
  ClipboardTest clipboard;
  const std::vector<QObject*> tests = {&startup,  &commands, &threadDialog, &statusPanel,
                                       &listFeed, &menus,    &contextMenus, &viewer,
                                       &dialogs,  &clipboard};

  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  std::vector<char*> arguments = {argv[0]};
  for (int i = only ? 2 : 1; i < argc; ++i) arguments.push_back(argv[i]);

  int failed = 0;
  bool ran = false;
  for (QObject* test : tests) {
    if (only && std::strcmp(test->metaObject()->className(), only) != 0 &&
        std::strcmp(std::strrchr(test->metaObject()->className(), ':') + 1, only) != 0)
      continue;
    ran = true;
    failed += QTest::qExec(test, static_cast<int>(arguments.size()), arguments.data());
  }
  return ran ? failed : 2;
}

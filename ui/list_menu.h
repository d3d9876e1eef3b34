#pragma once
// The chapter list box's popup menu, opened by the right mouse button over
// the list once a contents run has finished (outside batch mode). The
// commands that edit the list are the engine's (commands/list_commands.h);
// the menu adds the clipboard, the browser and the viewers.

#include <QObject>

class QMenu;

namespace tarnlow::ui {

class MainWindow;

class ListMenu : public QObject {
 public:
  explicit ListMenu(MainWindow& window);

  // Builds the menu with its items enabled as the list stands; the caller
  // opens it.
  void Fill(QMenu& menu);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  MainWindow& m_window;
};

}  // namespace tarnlow::ui

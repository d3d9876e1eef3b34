#pragma once
// The status panel's popup menu, opened by releasing the right mouse button
// over the panel once a contents run has finished: the selected part of the
// page can be copied or put into one of the mark boxes or the save name.

#include <QObject>

class QMenu;

namespace tarnlow::ui {

class MainWindow;

class StatusMenu : public QObject {
 public:
  explicit StatusMenu(MainWindow& window);

  void Fill(QMenu& menu);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Copies the selection through the clipboard into the box; whatever the
  // clipboard held before (text, a picture) is put back afterwards.
  void AddSelectionTo(int box);

  MainWindow& m_window;
};

}  // namespace tarnlow::ui

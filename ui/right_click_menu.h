#pragma once
// A popup menu opened by the right mouse button over a control of the main
// window, on the press or the release as the control's design has it. The
// click is the menu's when the menu opens, so it changes nothing under it.

#include <QEvent>
#include <QObject>

class QMenu;
class QWidget;

namespace tarnlow::ui {

class MainWindow;

class RightClickMenu : public QObject {
 public:
  RightClickMenu(MainWindow& window, QWidget* over, QEvent::Type trigger);

  // The menu's items, enabled as things stand; the caller opens it.
  virtual void Fill(QMenu& menu) = 0;

 protected:
  // Whether the menu opens at all now.
  virtual bool Offered() const = 0;
  bool eventFilter(QObject* watched, QEvent* event) override;

  MainWindow& m_window;

 private:
  QEvent::Type m_trigger;
};

}  // namespace tarnlow::ui

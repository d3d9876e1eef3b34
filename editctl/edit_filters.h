#pragma once
// Event filters that change how edit controls behave without subclassing
// them: one swallows context-menu requests, one keeps the caret from being
// drawn. Each is one object shared by every control it is installed on.

#include <QObject>
#include <QWidget>

namespace quillet {

// Swallows every context-menu event (right click or the menu key) of the
// controls it is installed on, so neither the control nor its parents show a
// menu.
class MenuBlocker : public QObject {
 public:
  static MenuBlocker& Instance();
  void Install(QWidget* control);
  void Remove(QWidget* control);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Keeps the caret of a QLineEdit, QTextEdit or QPlainTextEdit at zero width,
// so it is never visible however the control repaints or gains focus.
class CaretHider : public QObject {
 public:
  static CaretHider& Instance();
  // False for a control that has no caret.
  bool Install(QWidget* control);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quillet

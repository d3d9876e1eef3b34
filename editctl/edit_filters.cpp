#include "editctl/edit_filters.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QTextEdit>

namespace quillet {
namespace {

// A scroll area's viewport receives the mouse's context-menu events and its
// paint events, before the area itself sees them.
QWidget* ViewportOf(QWidget* control) {
  auto* area = qobject_cast<QAbstractScrollArea*>(control);
  return area ? area->viewport() : nullptr;
}

// A line edit takes its caret width from its style at every paint, so its
// caret is hidden by a style that makes the caret zero pixels wide and
// otherwise follows the application's style (QProxyStyle's default base).
class CaretlessStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TextCursorWidth) return 0;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

QStyle* SharedCaretlessStyle() {
  // One style for every such line edit, never deleted: a widget's style
  // must outlive the widget.
  static auto* style = new CaretlessStyle;
  return style;
}

void HideLineEditCaret(QLineEdit* edit) {
  if (edit->style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, edit) != 0) {
    edit->setStyle(SharedCaretlessStyle());
  }
}

// Text edits keep their caret width as a setting of their own; an edit that
// is given a new document gets the default width back.
template <typename Edit>
void HideTextEditCaret(Edit* edit) {
  if (edit->cursorWidth() != 0) edit->setCursorWidth(0);
}

void HideCaretOf(QObject* object) {
  if (auto* line = qobject_cast<QLineEdit*>(object)) {
    HideLineEditCaret(line);
  } else if (auto* text = qobject_cast<QTextEdit*>(object)) {
    HideTextEditCaret(text);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(object)) {
    HideTextEditCaret(plain);
  }
}

}  // namespace

MenuBlocker& MenuBlocker::Instance() {
  // Kept for the life of the process, as the controls keep it installed.
  static auto* blocker = new MenuBlocker;
  return *blocker;
}

void MenuBlocker::Install(QWidget* control) {
  control->installEventFilter(this);
  if (QWidget* viewport = ViewportOf(control)) viewport->installEventFilter(this);
}

void MenuBlocker::Remove(QWidget* control) {
  control->removeEventFilter(this);
  if (QWidget* viewport = ViewportOf(control)) viewport->removeEventFilter(this);
}

bool MenuBlocker::eventFilter(QObject*, QEvent* event) {
  return event->type() == QEvent::ContextMenu;
}

CaretHider& CaretHider::Instance() {
  static auto* hider = new CaretHider;
  return *hider;
}

bool CaretHider::Install(QWidget* control) {
  if (qobject_cast<QLineEdit*>(control)) {
    control->installEventFilter(this);
  } else if (qobject_cast<QTextEdit*>(control) || qobject_cast<QPlainTextEdit*>(control)) {
    ViewportOf(control)->installEventFilter(this);
  } else {
    return false;
  }
  HideCaretOf(control);
  return true;
}

bool CaretHider::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::StyleChange:  // a line edit given another style
      HideCaretOf(watched);
      break;
    case QEvent::Paint:  // a text edit's viewport, before it paints
      if (!qobject_cast<QLineEdit*>(watched)) HideCaretOf(watched->parent());
      break;
    default:
      break;
  }
  return false;
}

}  // namespace quillet

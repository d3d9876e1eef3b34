#include "ui/right_click_menu.h"

#include <QMenu>
#include <QMouseEvent>

#include "ui/main_window.h"
#include "ui/modal.h"

namespace tarnlow::ui {

RightClickMenu::RightClickMenu(MainWindow& window, QWidget* over, QEvent::Type trigger)
    : m_window(window), m_trigger(trigger) {
  over->installEventFilter(this);
}

bool RightClickMenu::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != m_trigger || static_cast<QMouseEvent*>(event)->button() != Qt::RightButton ||
      !Offered())
    return QObject::eventFilter(watched, event);
  QMenu menu(&m_window);
  Fill(menu);
  ExecMenu(menu, static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
  return true;
}

}  // namespace tarnlow::ui

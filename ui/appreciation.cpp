#include "ui/appreciation.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/libraries.h"
#include "ui/main_window.h"
#include "ui/modal.h"

// The resource lives in a static library: nothing else would pull it in.
static void InitPictureResource() { Q_INIT_RESOURCE(appreciation); }

namespace tarnlow::ui {

namespace {

constexpr QSize kSurface(350, 350);

}  // namespace

AppreciationWindow::AppreciationWindow(MainWindow& window)
    : QDialog(&window), m_picture(Picture()) {
  setObjectName(QStringLiteral("赞赏窗口"));
  setWindowTitle(QStringLiteral("赞赏"));
  setModal(true);
  setFixedSize(kSurface);
  setWindowFlag(Qt::WindowStaysOnTopHint, window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  window.libraries().Penumbrix(this, "2");
}

QImage AppreciationWindow::Picture() {
  static const bool initialised = (InitPictureResource(), true);
  (void)initialised;
  return QImage(QStringLiteral(":/tarnlow/appreciation.png"));
}

void AppreciationWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), m_picture);
}

void AppreciationWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    accept();
    return;
  }
  QDialog::mouseReleaseEvent(event);
}

void OpenAppreciation(MainWindow& window) {
  AppreciationWindow appreciation(window);
  ExecModal(appreciation);
}

}  // namespace tarnlow::ui

#include "shadow/shadow_window.h"

#include <QBitmap>
#include <QPainter>

#include <utility>

namespace penumbrix {

ShadowWindow::ShadowWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                         Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint) {
  setObjectName(QStringLiteral("Zephloom.Shadow"));
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_X11DoNotAcceptFocus);
  setFocusPolicy(Qt::NoFocus);
}

void ShadowWindow::SetPicture(QImage picture, bool translucent) {
  m_picture = std::move(picture);
  if (translucent) {
    clearMask();
  } else {
    setMask(QBitmap::fromImage(m_picture.createAlphaMask(Qt::ThresholdAlphaDither)));
  }
  update();
}

void ShadowWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The picture's alpha replaces what is there: the window is see-through
  // wherever the picture is.
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, m_picture);
}

}  // namespace penumbrix

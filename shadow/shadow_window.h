#pragma once
// The shadow itself: a frameless, see-through top-level window owned by the
// window it surrounds. It never takes focus or input and only shows the
// picture it is given.

#include <QImage>
#include <QWidget>

namespace penumbrix {

class ShadowWindow : public QWidget {
  Q_OBJECT

 public:
  // A child of owner, so that it is destroyed with it.
  explicit ShadowWindow(QWidget* owner);

  // Without translucency the window is cut to the picture's mostly opaque
  // pixels (the frame line), so that the rest cannot hide what lies beneath.
  void SetPicture(QImage picture, bool translucent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_picture;
};

}  // namespace penumbrix

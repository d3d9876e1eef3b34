#pragma once
// 帮助 › 赞赏...: a small modal window that shows the program's picture,
// closed by a left click on it.

#include <QDialog>
#include <QImage>

namespace tarnlow::ui {

class MainWindow;

class AppreciationWindow : public QDialog {
 public:
  explicit AppreciationWindow(MainWindow& window);

  // The picture as stored in the program (519 x 519).
  static QImage Picture();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage m_picture;
};

void OpenAppreciation(MainWindow& window);

}  // namespace tarnlow::ui

#pragma once
// The clipboard watcher's toast: a small window at the top centre of the
// primary screen. With 监视剪辑版时自动添加 it says "已复制" for a second;
// otherwise it offers the button 添加到任务 for three seconds.

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace tarnlow {
struct UiFont;
}

namespace tarnlow::ui {

class RuntimeLibraries;

class Toast : public QDialog {
 public:
  static constexpr int kAutoAddMs = 1000;
  static constexpr int kOfferMs = 3000;

  // `add` is what the button does; the toast closes after it.
  Toast(const RuntimeLibraries& libraries, const UiFont& font, bool autoAdd,
        std::function<void()> add);

  QLabel* Label() const { return m_label; }
  QPushButton* Button() const { return m_button; }
  QTimer* Timer() const { return m_timer; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* m_label;
  QPushButton* m_button;
  QTimer* m_timer;
};

}  // namespace tarnlow::ui

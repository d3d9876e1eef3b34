#pragma once
// 监视剪辑版: on every tick of the window's watcher timer (500 ms), a newly
// copied address of a book's page that is not known yet is offered as a
// batch task through the toast, or added at once with 监视剪辑版时自动添加.
// Added addresses go to the stored list (Webs) and the address box.

#include <QObject>

#include <string>

namespace tarnlow::ui {

class MainWindow;

class ClipboardWatcher : public QObject {
 public:
  // Listens to the window's watcher timer.
  explicit ClipboardWatcher(MainWindow& window);

  void Tick();
  // The last clipboard text the watcher finished with (GBK).
  const std::string& LastClipboardText() const { return m_last; }

 private:
  // Opens the toast and returns when it has closed.
  void OpenToast(const std::string& address, bool autoAdd);

  MainWindow& m_window;
  std::string m_last;
  bool m_toastOpen = false;
};

}  // namespace tarnlow::ui

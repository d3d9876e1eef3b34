#pragma once
// The viewer window: one modal window for the update record, the run log,
// the source of the selected chapter page, and the preview of a chapter's
// text with 下一章. The last two fetch; the fetch runs on the command thread
// and the window shows the result when it comes, its buttons disabled
// meanwhile (preview), so the UI thread never waits for the network.

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QTimer;

namespace tarnlow::ui {

class MainWindow;
class StatusPanel;

enum class ViewerMode { UpdateRecord = 0, RunLog = 1, PageSource = 3, ChapterText = 4 };

class Viewer : public QDialog {
 public:
  // Sets the window up for the mode; the fetching modes start their fetch.
  Viewer(MainWindow& window, ViewerMode mode);
  ~Viewer() override;

  QLabel* Heading() const { return m_heading; }
  // 编辑框1: read-only; a long line is cut for display only, as in the
  // status panel (a page source is one line of many kilobytes).
  StatusPanel* Edit() const { return m_edit; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* NextButton() const { return m_next; }
  QTimer* RefreshTimer() const { return m_refresh; }
  // A fetch started here has not shown its result yet.
  bool Fetching() const { return m_fetch != nullptr; }

 protected:
  void done(int result) override;

 private:
  struct Fetch {
    std::atomic<bool> stop{false};
  };

  void SetUpUpdateRecord();
  void SetUpRunLog();
  void SetUpPageSource();
  void SetUpChapterText();
  // Wider than designed, centred on the screen.
  void Widen(int width, int height);
  void ShowText(const std::string& gbk, bool caretToEnd);
  void RefreshLog();
  // The chapter-text view: the entry after the one shown, or the first
  // selected one.
  void ShowChapter(bool next);
  void ChapterShown(const std::string& text);
  // Runs `fetch` on the command thread; `shown` gets its text on the UI
  // thread unless the window went first.
  void StartFetch(std::function<std::string(const std::function<bool()>&)> fetch,
                  std::function<void(const std::string&)> shown);
  void StopFetch();

  MainWindow& m_window;
  ViewerMode m_mode;
  QLabel* m_heading;
  StatusPanel* m_edit;
  QPushButton* m_ok;
  QPushButton* m_next;
  QTimer* m_refresh;
  std::string m_shownLog;  // the log text the run-log view shows
  std::shared_ptr<Fetch> m_fetch;
};

// Opens the viewer modally in `mode` and returns when it has closed.
void OpenViewer(MainWindow& window, ViewerMode mode);

}  // namespace tarnlow::ui

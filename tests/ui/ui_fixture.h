#pragma once
// The real desktop program in a test: a temporary program folder (with its
// Download folder and a config.ini the test writes), the run-time libraries
// beside the test executable, message boxes answered and recorded, and the
// end of the process recorded instead of carried out.

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QString>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/shell.h"
#include "app/window_model.h"
#include "tests/support/support.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/status_panel.h"

class QDialog;
class QMenu;

namespace tarnlow::test {
class TestServer;
}

namespace tarnlow::ui::test {

using SettingList = std::vector<std::pair<std::string, std::string>>;

// Slow machines, sanitizers.
constexpr int kTimeoutMs = 60000;

// UTF-8 source text as the window shows it.
inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Message boxes shown while the object lives, in order.
class MessageLog {
 public:
  MessageLog();
  ~MessageLog();
  std::vector<MessageRecord> Messages() const;

 private:
  mutable std::mutex m_mutex;
  std::vector<MessageRecord> m_messages;
};

// Every modal dialog (and the toast) is handed to `answer` while the
// object lives; the answer must close it.
class AnswerDialogs {
 public:
  explicit AnswerDialogs(std::function<void(QDialog&)> answer);
  ~AnswerDialogs();
  int Count() const { return m_count; }

 private:
  int m_count = 0;
};

// Every popup menu is handed to `answer` while the object lives.
class AnswerMenus {
 public:
  explicit AnswerMenus(std::function<void(QMenu&)> answer);
  ~AnswerMenus();
  int Count() const { return m_count; }

 private:
  int m_count = 0;
};

// The item of a popup menu with this caption (null when there is none).
QAction* MenuItem(const QMenu& menu, const QString& caption);
// The captions of a menu's enabled items, separators left out.
QStringList EnabledItems(const QMenu& menu);

// One chapter of a test book: its path on the server, its link text and the
// text between its marks.
struct TestChapter {
  std::string path;
  std::string title;  // UTF-8
  std::string text;   // UTF-8
};

// A contents page at `contentsPath` titled `book` linking the chapters,
// between <div id="list"> and </div>; each chapter's text between
// <div id="content"> and </div>.
void ServeBook(tarnlow::test::TestServer& server, const std::string& contentsPath,
               const std::vector<TestChapter>& chapters, const std::string& book = "测试书");
// Window settings for that book: its address and both pairs of marks, one
// try, no next pages.
SettingList TestBookSettings(const tarnlow::test::TestServer& server,
                             const std::string& contentsPath);

class ProgramUnderTest {
 public:
  // `settings`: key and UTF-8 value pairs written to config.ini first.
  explicit ProgramUnderTest(const SettingList& settings = {},
                            std::filesystem::path libraryDir = {});
  ~ProgramUnderTest();

  bool Create();  // CreateMainWindow

  const std::filesystem::path& Dir() const { return m_dir.Path(); }
  Program& program() { return *m_program; }
  MainWindow& window() { return m_program->window(); }
  const MessageLog& messages() const { return m_messages; }
  int EndProcessCalls() const { return m_endProcessCalls; }

  // A setting as config.ini holds it now, in UTF-8 ("<missing>" when absent).
  std::string Setting(const char* key) const;

  QLineEdit* Box(Box box) { return window().BoxEdit(box); }
  QString StatusText() { return window().StatusBox()->StatusText(); }
  QString Caption() { return window().ExecuteButton()->text(); }
  QStringList ListTexts();
  // What the user does with a box as one edit: everything replaced by `text`.
  void Type(tarnlow::Box box, const QString& text);
  void ClickExecute();
  void ClickCancel();
  bool CommandRunning();
  // Draws what the model announced so far, now.
  void Render();
  // Waits until the contents run has filled the list and the window is
  // ready for the chapter command.
  bool WaitForContents();
  // Waits until the window is idle with its help text.
  bool WaitForIdle();
  // Selects exactly these list items (0-based) as the user would.
  void SelectItems(const std::vector<int>& rows);
  // The right mouse button pressed over the list box, released over the
  // status panel: what opens their menus.
  void RightPressOnList();
  void RightReleaseOnStatus();
  // Book files (.txt) in the Download folder.
  std::vector<std::filesystem::path> Books() const;

 private:
  tarnlow::test::TempDir m_dir;
  MessageLog m_messages;
  std::atomic<int> m_endProcessCalls{0};
  std::unique_ptr<Program> m_program;
};

}  // namespace tarnlow::ui::test

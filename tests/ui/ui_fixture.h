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

namespace tarnlow::ui::test {

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

class ProgramUnderTest {
 public:
  // `settings`: key and UTF-8 value pairs written to config.ini first.
  explicit ProgramUnderTest(const std::vector<std::pair<std::string, std::string>>& settings = {},
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
  // Book files (.txt) in the Download folder.
  std::vector<std::filesystem::path> Books() const;

 private:
  tarnlow::test::TempDir m_dir;
  MessageLog m_messages;
  std::atomic<int> m_endProcessCalls{0};
  std::unique_ptr<Program> m_program;
};

}  // namespace tarnlow::ui::test

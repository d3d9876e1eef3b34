#include "tests/ui/ui_fixture.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QDialog>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTest>

#include "app/app.h"
#include "app/program_dir.h"
#include "app/settings.h"
#include "commands/command_thread.h"
#include "tests/support/test_server.h"
#include "text/codepage.h"
#include "ui/modal.h"

namespace tarnlow::ui::test {

namespace fs = std::filesystem;

MessageLog::MessageLog() {
  SetMessageAnswerer([this](const MessageRecord& message) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(message);
  });
}

MessageLog::~MessageLog() { SetMessageAnswerer({}); }

std::vector<MessageRecord> MessageLog::Messages() const {
  std::lock_guard lock(m_mutex);
  return m_messages;
}

AnswerDialogs::AnswerDialogs(std::function<void(QDialog&)> answer) {
  SetDialogAnswerer([this, answer = std::move(answer)](QDialog& dialog) {
    ++m_count;
    dialog.show();
    answer(dialog);
  });
}

AnswerDialogs::~AnswerDialogs() { SetDialogAnswerer({}); }

AnswerMenus::AnswerMenus(std::function<void(QMenu&)> answer) {
  SetMenuAnswerer([this, answer = std::move(answer)](QMenu& menu) {
    ++m_count;
    answer(menu);
  });
}

AnswerMenus::~AnswerMenus() { SetMenuAnswerer({}); }

QAction* MenuItem(const QMenu& menu, const QString& caption) {
  for (QAction* action : menu.actions()) {
    if (action->text() == caption) return action;
  }
  return nullptr;
}

QStringList EnabledItems(const QMenu& menu) {
  QStringList enabled;
  for (QAction* action : menu.actions()) {
    if (!action->isSeparator() && action->isEnabled()) enabled << action->text();
  }
  return enabled;
}

void ServeBook(tarnlow::test::TestServer& server, const std::string& contentsPath,
               const std::vector<TestChapter>& chapters, const std::string& book) {
  std::string links;
  for (const TestChapter& chapter : chapters)
    links += "<a href=\"" + chapter.path + "\">" + chapter.title + "</a>\r\n";
  server.Serve(
      contentsPath,
      Utf8ToAnsi("<html><head><title>" + book + "</title></head><body><div id=\"list\">\r\n" +
                 links + "</div></body></html>"),
      "text/html; charset=gbk");
  for (const TestChapter& chapter : chapters) {
    server.Serve(chapter.path,
                 Utf8ToAnsi("<html><body><div id=\"content\">" + chapter.text +
                            "</div><div>footer</div></body></html>"),
                 "text/html; charset=gbk");
  }
}

SettingList TestBookSettings(const tarnlow::test::TestServer& server,
                             const std::string& contentsPath) {
  return {{"Website", server.Url(contentsPath)},
          {"ListTagBegin", "<div id=\"list\">"},
          {"ListTagEnd", "</div>"},
          {"TextBegin", "<div id=\"content\">"},
          {"TextEnd", "</div>"},
          {"GetNextPage", "0"},
          {"Retry", "0"},
          {"Delay", "100"}};
}

ProgramUnderTest::ProgramUnderTest(const SettingList& settings, fs::path libraryDir) {
  fs::create_directory(m_dir.Path() / "Download");
  Settings file(m_dir.Path());
  for (const auto& [key, value] : settings) file.Write(key, Utf8ToAnsi(value));
  if (libraryDir.empty()) libraryDir = ExecutableDir();
  m_program = std::make_unique<Program>(ProgramPaths{m_dir.Path(), libraryDir});
  m_program->shell().SetEndProcessHandler([this] { ++m_endProcessCalls; });
}

ProgramUnderTest::~ProgramUnderTest() { m_program.reset(); }

bool ProgramUnderTest::Create() { return m_program->CreateMainWindow(); }

std::string ProgramUnderTest::Setting(const char* key) const {
  const std::string missing = "\x01";
  const std::string value = Settings(m_dir.Path()).Read(key, missing);
  return value == missing ? "<missing>" : GbkToUtf8(value);
}

QStringList ProgramUnderTest::ListTexts() {
  QStringList texts;
  QAbstractItemModel* model = window().ListBox()->model();
  for (int row = 0; row < model->rowCount(); ++row)
    texts << model->data(model->index(row, 0)).toString();
  return texts;
}

void ProgramUnderTest::Type(tarnlow::Box box, const QString& text) {
  QLineEdit* edit = Box(box);
  edit->setFocus();
  edit->selectAll();
  if (text.isEmpty())
    edit->del();
  else
    edit->insert(text);
}

void ProgramUnderTest::ClickExecute() {
  QTest::mouseClick(window().ExecuteButton(), Qt::LeftButton);
}

void ProgramUnderTest::ClickCancel() { QTest::mouseClick(window().CancelButton(), Qt::LeftButton); }

bool ProgramUnderTest::CommandRunning() { return m_program->commands().Running(); }

void ProgramUnderTest::Render() {
  m_program->model().WaitForDeliveries(std::chrono::milliseconds(kTimeoutMs));
  window().FlushModel();
}

bool ProgramUnderTest::WaitForContents() {
  return QTest::qWaitFor(
      [&] {
        return !CommandRunning() && Caption() == Q("取章节保存") &&
               window().ExecuteButton()->isEnabled();
      },
      kTimeoutMs);
}

bool ProgramUnderTest::WaitForIdle() {
  return QTest::qWaitFor(
      [&] {
        return !CommandRunning() && Caption() == Q("取目录列表") &&
               window().ExecuteButton()->isEnabled() &&
               StatusText().startsWith(Q("\n操作步骤：1、取目录列表"));
      },
      kTimeoutMs);
}

void ProgramUnderTest::SelectItems(const std::vector<int>& rows) {
  QListView* list = window().ListBox();
  QItemSelection selection;
  for (int row : rows) {
    const QModelIndex index = list->model()->index(row, 0);
    selection.select(index, index);
  }
  list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void ProgramUnderTest::RightPressOnList() {
  QTest::mousePress(window().ListBox()->viewport(), Qt::RightButton, {}, QPoint(20, 10));
}

void ProgramUnderTest::RightReleaseOnStatus() {
  QTest::mouseRelease(window().StatusBox()->viewport(), Qt::RightButton, {}, QPoint(20, 10));
}

std::vector<fs::path> ProgramUnderTest::Books() const {
  std::vector<fs::path> books;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(m_dir.Path() / "Download", error)) {
    if (entry.path().extension() == ".txt") books.push_back(entry.path());
  }
  return books;
}

}  // namespace tarnlow::ui::test

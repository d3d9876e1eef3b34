#include "tests/ui/ui_fixture.h"

#include <QAbstractItemModel>
#include <QTest>

#include "app/app.h"
#include "app/program_dir.h"
#include "app/settings.h"
#include "commands/command_thread.h"
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

ProgramUnderTest::ProgramUnderTest(const std::vector<std::pair<std::string, std::string>>& settings,
                                   fs::path libraryDir) {
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

std::vector<fs::path> ProgramUnderTest::Books() const {
  std::vector<fs::path> books;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(m_dir.Path() / "Download", error)) {
    if (entry.path().extension() == ".txt") books.push_back(entry.path());
  }
  return books;
}

}  // namespace tarnlow::ui::test

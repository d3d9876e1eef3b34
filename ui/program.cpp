#include "ui/program.h"

#include <QLineEdit>

#include <utility>

#include "app/app.h"
#include "app/run_log.h"
#include "chapters/chapter_cache.h"
#include "chapters/clean_rules.h"
#include "commands/command_thread.h"
#include "text/codepage.h"
#include "ui/main_window.h"
#include "ui/menus.h"
#include "ui/modal.h"
#include "ui/status_panel.h"

namespace tarnlow::ui {

Program::Program(ProgramPaths paths) : m_paths(std::move(paths)) {
  m_app = std::make_unique<App>(m_model, m_shell, m_paths.programDir);
  m_commands = std::make_unique<CommandThread>(*m_app);
  m_window = std::make_unique<MainWindow>(*m_app, *m_commands, m_libraries);
  m_shell.SetOwner(m_window.get());
}

Program::~Program() {
  // The window will answer no more boxes: a command waiting for one goes on
  // to its end instead of waiting for ever.
  m_shell.Close();
  m_window.reset();
  m_commands.reset();
}

bool Program::CreateMainWindow() {
  const std::vector<std::string> missing = RuntimeLibraries::MissingFiles(m_paths.libraryDir);
  std::vector<std::string> unusable;
  if (missing.empty()) unusable = m_libraries.Bind(m_paths.libraryDir);
  const std::size_t warnings = missing.size() + unusable.size();
  for (std::size_t i = 0; i < warnings; ++i) {
    ShowMessageBox(m_window.get(), Gbk<"文件丢失，无法继续，请重新下载！">(), Gbk<"警告">(),
                   MessageIcon::Exclamation);
  }
  if (warnings > 0) {
    m_window->close();
    return false;
  }

  App& app = *m_app;
  // A user file that cannot be read is noticed as start-up reads it; the
  // window shows those notices under its help text rather than instead of it.
  std::string startupNotices;
  app.noticeHook = [&startupNotices](const std::string& notice) {
    startupNotices += "\r\n\r\n" + notice;
  };
  LoadLogFile(app);
  LoadCleanRules(app);
  // Installed first, so that what start-up puts in the boxes is saved the
  // way typing it would be (the clamped milliseconds value included).
  BindBoxesToSettings(app);
  ApplyStartupSettings(app);
  PruneChapterCache(app.programDir);
  m_window->Menus().ShowRadioChecks();
  m_window->ApplyUiFont();

  m_model.SetTitle(WindowTitle());
  m_model.SetExecuteCaption(CaptionContents());
  app.noticeHook = nullptr;
  m_model.SetStatus(IdleHelpText() + startupNotices, !startupNotices.empty());

  m_libraries.MenuHide(m_window->StatusBox());
  m_libraries.MenuHide(m_window->BoxEdit(Box::DelayMs));
  m_libraries.MenuHide(m_window->BoxEdit(Box::Retry));

  // The window shows complete: what start-up put in the model is drawn first.
  m_model.WaitForDeliveries(std::chrono::seconds(5));
  m_window->FlushModel();
  m_window->show();
  return true;
}

}  // namespace tarnlow::ui

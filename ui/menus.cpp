#include "ui/menus.h"

#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

#include <filesystem>

#include "app/app.h"
#include "commands/command_thread.h"
#include "commands/update_book.h"
#include "fetch/http_client.h"
#include "text/codepage.h"
#include "ui/appreciation.h"
#include "ui/batch_dialog.h"
#include "ui/clean_rules_dialog.h"
#include "ui/main_window.h"
#include "ui/modal.h"
#include "ui/thread_count.h"
#include "ui/viewer.h"

namespace tarnlow::ui {

namespace {

int Index(RadioGroup group) { return static_cast<int>(group); }

void About(MainWindow& window) {
  ShowMessageBox(&window, Gbk<"请勿使用本工具侵犯他人利益、用于商业或违法目的。\r\n">(),
                 Gbk<"关于">(), MessageIcon::Information);
}

// 更新已有书籍...: the book is chosen in a file dialog opened in the download
// folder; the update runs on the command thread like the other commands.
void UpdateSavedBook(MainWindow& window) {
  App& app = window.app();
  const std::string busy = Gbk<"任务处理中，请等待处理完毕！">();
  if (window.CommandActive()) {
    ShowMessageBox(&window, busy, Gbk<"提示">(), MessageIcon::Information);
    return;
  }
  QFileDialog dialog(&window, QStringLiteral("更新已有书籍"),
                     QString::fromStdString(app.state.downloadFolder),
                     QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::filesystem::path book(dialog.selectedFiles().constFirst().toStdString());
  if (!window.commands().Start([&app, book] { UpdateBook(app, book); })) {
    ShowMessageBox(&window, busy, Gbk<"提示">(), MessageIcon::Information);
  }
}

}  // namespace

MainMenus::MainMenus(MainWindow& window) : m_window(window) {
  QMenuBar* bar = window.menuBar();
  auto bind = [&window](QAction* action, auto handler) {
    QObject::connect(action, &QAction::triggered, &window, handler);
  };

  m_menu = bar->addMenu(QStringLiteral("菜单"));
  m_batch = m_menu->addAction(QStringLiteral("批处理..."));
  bind(m_batch, [&window] { RunBatch(window); });
  bind(m_menu->addAction(QStringLiteral("更新已有书籍...")),
       [&window] { UpdateSavedBook(window); });
  bind(m_menu->addAction(QStringLiteral("线程数...")), [&window] { ChooseThreadCount(window); });
  m_menu->addSeparator();

  QMenu* automatic = m_menu->addMenu(QStringLiteral("自动处理"));
  automatic->addSeparator();
  AddToggle(automatic, "自动重置章节编号", Option::Renumber);
  AddToggle(automatic, "自动清理可疑的链接", Option::CleanDubious);
  AddToggle(automatic, "标记取目录时不清理可疑链接", Option::KeepDubiousWithMarks);
  bind(automatic->addAction(QStringLiteral("清除指定文本...")),
       [&window] { EditCleanRules(window); });
  automatic->addSeparator();
  AddToggle(automatic, "自动取下一页目录", Option::NextPage);
  automatic->addSeparator();
  AddToggle(automatic, "监视剪辑版时自动添加", Option::AutoMonitorClip);
  // This program's own: finding the chapter list and the chapter text
  // without marks, and checking the book after the download.
  automatic->addSeparator();
  AddToggle(automatic, "自动识别目录", Option::AutoList);
  AddToggle(automatic, "自动识别正文", Option::AutoText);
  AddToggle(automatic, "下载后体检", Option::HealthReport);
  m_menu->addSeparator();

  AddRadioGroup(m_menu->addMenu(QStringLiteral("文件名格式")), RadioGroup::FileNameFormat,
                {"文件名", "作者 - 文件名", "作者-文件名", "作者 _ 文件名", "作者_文件名"});
  AddRadioGroup(m_menu->addMenu(QStringLiteral("内容换行")), RadioGroup::LineMode,
                {"默认换行 <br />", "不换行", "在句号处换行"});
  // xdg-open shows a folder in the file manager; it is started, not waited for.
  bind(m_menu->addAction(QStringLiteral("打开保存位置...")),
       [&window] { OpenInBrowser(window.app().state.downloadFolder); });

  m_help = bar->addMenu(QStringLiteral("帮助"));
  bind(m_help->addAction(QStringLiteral("赞赏...")), [&window] { OpenAppreciation(window); });
  bind(m_help->addAction(QStringLiteral("日志...")),
       [&window] { OpenViewer(window, ViewerMode::RunLog); });
  m_help->addSeparator();
  AddToggle(m_help, "窗口置顶", Option::OnTop);
  AddToggle(m_help, "监视剪辑版", Option::MonitorClip);
  m_help->addSeparator();
  bind(m_help->addAction(QStringLiteral("更新记录...")),
       [&window] { OpenViewer(window, ViewerMode::UpdateRecord); });
  m_help->addSeparator();
  bind(m_help->addAction(QStringLiteral("关于...")), [&window] { About(window); });

  window.AddRenderer([this](const ChangeSet& changes) {
    if (changes.Has(Change::Options)) RenderOptions();
  });
}

QAction* MainMenus::AddToggle(QMenu* menu, const char* caption, Option option) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setCheckable(true);
  m_options[static_cast<int>(option)] = action;
  QObject::connect(action, &QAction::triggered, &m_window,
                   [this, option] { ToggleOption(m_window.app(), option); });
  return action;
}

void MainMenus::AddRadioGroup(QMenu* menu, RadioGroup group,
                              const std::vector<const char*>& captions) {
  auto* actions = new QActionGroup(menu);
  actions->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  std::vector<QAction*>& items = m_radios[Index(group)];
  for (const char* caption : captions) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setCheckable(true);
    actions->addAction(action);
    const int item = static_cast<int>(items.size());
    QObject::connect(action, &QAction::triggered, &m_window, [this, group, item] {
      ChooseRadioItem(m_window.app(), group, item);
      ShowRadioChecks();
    });
    items.push_back(action);
  }
}

QAction* MainMenus::RadioAction(RadioGroup group, int item) const {
  const std::vector<QAction*>& items = m_radios[Index(group)];
  return item >= 0 && static_cast<std::size_t>(item) < items.size()
             ? items[static_cast<std::size_t>(item)]
             : nullptr;
}

QAction* MainMenus::FindAction(const QMenu* menu, const QString& caption) {
  for (QAction* action : menu->actions()) {
    if (action->text() == caption) return action;
    if (const QMenu* sub = action->menu()) {
      if (QAction* found = FindAction(sub, caption)) return found;
    }
  }
  return nullptr;
}

void MainMenus::ShowRadioChecks() {
  for (RadioGroup group : {RadioGroup::FileNameFormat, RadioGroup::LineMode}) {
    const int checked = CheckedRadioItem(m_window.app(), group);
    RadioAction(group, checked)->setChecked(true);
  }
}

void MainMenus::RenderOptions() {
  const WindowModel& model = m_window.app().model;
  for (int i = 0; i < kOptionCount; ++i) {
    if (m_options[i]) m_options[i]->setChecked(model.IsOptionOn(static_cast<Option>(i)));
  }
}

}  // namespace tarnlow::ui

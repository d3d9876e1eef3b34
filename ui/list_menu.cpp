#include "ui/list_menu.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QListView>
#include <QMenu>

#include "app/app.h"
#include "commands/list_commands.h"
#include "fetch/http_client.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/viewer.h"

namespace tarnlow::ui {

ListMenu::ListMenu(MainWindow& window)
    : RightClickMenu(window, window.ListBox()->viewport(), QEvent::MouseButtonPress) {}

bool ListMenu::Offered() const { return ListMenuOffered(m_window.app()); }

void ListMenu::Fill(QMenu& menu) {
  MainWindow& window = m_window;
  App& app = window.app();
  auto add = [&](const char* caption, ListMenuItem item, auto command) {
    QAction* action = menu.addAction(QString::fromUtf8(caption));
    action->setEnabled(ListMenuItemEnabled(app, item));
    QObject::connect(action, &QAction::triggered, &window, command);
  };
  add("格式化章节编号", ListMenuItem::Renumber, [&app] { RenumberEntries(app); });
  menu.addSeparator();
  add("倒序", ListMenuItem::Reverse, [&app] { ReverseList(app); });
  menu.addSeparator();
  add("复制标题", ListMenuItem::CopyTitles,
      [&app] { QGuiApplication::clipboard()->setText(ToQt(SelectedTitles(app))); });
  add("删除选中项", ListMenuItem::DeleteSelected, [&app] { DeleteSelectedEntries(app); });
  add("清空列表", ListMenuItem::ClearList, [&app] { ResetMainWindow(app); });
  menu.addSeparator();
  add("清除与选中项相关的链接", ListMenuItem::RemoveRelated, [&app] { RemoveRelatedLinks(app); });
  add("清理可疑的链接", ListMenuItem::CleanDubious, [&app] { CleanDubiousEntries(app); });
  menu.addSeparator();
  // xdg-open is started, not waited for.
  add("在浏览器打开选中链接...", ListMenuItem::OpenLink,
      [&app] { OpenInBrowser(app.model.AddressLabel()); });
  add("查看源码...", ListMenuItem::ViewSource,
      [&window] { OpenViewer(window, ViewerMode::PageSource); });
  add("查看文本...", ListMenuItem::ViewText,
      [&window] { OpenViewer(window, ViewerMode::ChapterText); });
}

}  // namespace tarnlow::ui

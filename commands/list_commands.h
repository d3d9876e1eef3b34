#pragma once
// The chapter list box's menu: when it is offered, which items it enables,
// and the commands that edit the chapter list before the download. Each
// command changes the ChapterList and the window model's list together, so
// that list-box item k always shows the title of entry k. The menu is
// offered only while no command runs, so the UI thread may run them: no
// command can start meanwhile (only the UI thread starts commands).

#include <string>

namespace tarnlow {

struct App;

enum class ListMenuItem {
  Renumber,        // 格式化章节编号
  Reverse,         // 倒序
  CopyTitles,      // 复制标题
  DeleteSelected,  // 删除选中项
  ClearList,       // 清空列表
  RemoveRelated,   // 清除与选中项相关的链接
  CleanDubious,    // 清理可疑的链接
  OpenLink,        // 在浏览器打开选中链接...
  ViewSource,      // 查看源码...
  ViewText,        // 查看文本...
};

// After a finished contents run only: no command running, not in batch
// mode, the execute button enabled and captioned 取章节保存.
bool ListMenuOffered(const App& app);

// With an empty list only 倒序 is enabled; items that need a selection are
// disabled without one; 格式化章节编号 and 清理可疑的链接 once each.
bool ListMenuItemEnabled(const App& app, ListMenuItem item);

// 倒序: the list in the opposite order, fetched texts with their entries;
// the selection is gone, the address label stays.
void ReverseList(App& app);

// 删除选中项: removes the selected entries; an emptied list returns the
// window to idle. The address label is emptied.
void DeleteSelectedEntries(App& app);

// 复制标题: the selected titles from the last selected to the first, each
// followed by "\r\n" (empty without a selection).
std::string SelectedTitles(const App& app);

// 清除与选中项相关的链接: removes every entry whose address lies in the
// folder of the first selected entry's address, that entry included.
void RemoveRelatedLinks(App& app);

// 清理可疑的链接: keeps only the main group of chapters (setting Keyword).
void CleanDubiousEntries(App& app);

// 格式化章节编号: "第" + position + "章 " + the rest, for every title.
void RenumberEntries(App& app);

}  // namespace tarnlow

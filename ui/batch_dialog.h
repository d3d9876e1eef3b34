#pragma once
// 批处理...: the input dialog in its batch mode. It lists the stored tasks
// (setting Webs) and the address being worked on; 开始处理 (left click) stores
// the valid lines and runs them on the command thread, a right click only
// stores them.

#include <string>

namespace tarnlow::ui {

class InputDialog;
class MainWindow;
struct InputDialogMode;

const std::string& BatchPrompt();

InputDialogMode BatchMode(MainWindow& window);

// An address the clipboard watcher added to the stored list, shown in the
// open batch dialog too. What the user typed there and has not stored yet
// stays: the address is added as a line of its own unless it is listed.
void AddToBatchDialog(InputDialog& dialog, const std::string& address);

// The menu item: refused while a command runs; after the dialog, the tasks
// run on the command thread ("任务无效！" when none was valid).
void RunBatch(MainWindow& window);

}  // namespace tarnlow::ui

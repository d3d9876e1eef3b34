#pragma once
// 清除指定文本...: the input dialog in its clean-text mode, editing
// cleantxt.list. 保存 replaces the file and reloads the rules; a chapter run
// under way keeps the rules it started with.

#include <string>

namespace tarnlow::ui {

class MainWindow;
struct InputDialogMode;

const std::string& CleanRulesPrompt();

InputDialogMode CleanRulesMode(MainWindow& window);

void EditCleanRules(MainWindow& window);

}  // namespace tarnlow::ui

#pragma once
// The 线程数... command: the input dialog in its thread-count mode, and the
// setting written when the user saves.

#include <string>

namespace tarnlow::ui {

class MainWindow;
struct InputDialogMode;

// The prompt of the thread-count dialog (GBK).
const std::string& ThreadCountPrompt();

// Mode 2 of the input dialog: a one-digit box showing RunState.threadCount;
// 保存 takes its number (0 gives 3) into RunState.threadCount.
InputDialogMode ThreadCountMode(MainWindow& window);

// Opens the dialog; when the user saved, writes the setting Thread.
void ChooseThreadCount(MainWindow& window);

}  // namespace tarnlow::ui

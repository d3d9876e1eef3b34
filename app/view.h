#pragma once
// The one seam through which the engine reaches the main window. All texts
// are GBK. The desktop program implements it on its widgets; HeadlessView
// serves the tests and the command-line program.
//
// Worker threads of a chapter run call only the members marked "worker-safe";
// every other member is called on the thread that runs the command.

#include <string>

namespace tarnlow {

enum class Box {
  Address,    // 编辑框_网址
  ListBegin,  // 编辑框_目录开始
  ListEnd,    // 编辑框_目录结束
  TextBegin,  // 编辑框_文本开始
  TextEnd,    // 编辑框_文本结束
  SaveName,   // 编辑框_书名
  Retry,      // 编辑框_重试
  DelayMs,    // 编辑框_毫秒
};

// Checkable menu items the commands read.
enum class Option {
  NextPage,              // 自动取下一页目录
  CleanDubious,          // 自动清理可疑的链接
  KeepDubiousWithMarks,  // 标记取目录时不清理可疑链接
  Renumber,              // 自动重置章节编号
  MonitorClip,           // 监视剪辑版
  AutoMonitorClip,       // 监视剪辑版时自动添加
  OnTop,                 // 窗口置顶
  AutoList,              // 自动识别目录
};

enum class MessageIcon { Information, Exclamation };

class View {
 public:
  virtual ~View() = default;

  // Edit boxes. GetBox is worker-safe (the chapter job reads the save name and
  // the text marks from workers). Setting a box behaves as the user typing it:
  // the save-name box drops / \ : * ? " < > |.
  virtual std::string GetBox(Box box) = 0;
  virtual void SetBox(Box box, const std::string& text) = 0;
  virtual void EnableBox(Box box, bool enabled) = 0;
  virtual void FocusBox(Box box) = 0;

  // Status panel (编辑框_输出): replaces the whole content.
  virtual void SetStatus(const std::string& text, bool caretToEnd) = 0;

  // Chapter list box (列表框1). Item indices are 0-based.
  virtual void ListClear() = 0;
  virtual void ListAdd(const std::string& text) = 0;
  virtual int ListCount() = 0;
  // Worker-safe. Changing an item's text keeps selection and scroll position.
  virtual void ListSetItemText(int index, const std::string& text) = 0;
  virtual std::string ListItemText(int index) = 0;        // worker-safe
  virtual void ListSelect(int index, bool selected) = 0;  // worker-safe
  virtual int ListFirstSelected() = 0;                    // worker-safe; -1 when none
  virtual void ListSetTopItem(int index) = 0;             // worker-safe

  // 标签_网址, worker-safe.
  virtual void SetAddressLabel(const std::string& text) = 0;

  // 按钮_执行, 按钮_取消, the menu item 批处理..., the window title.
  virtual std::string ExecuteCaption() = 0;
  virtual void SetExecuteCaption(const std::string& caption) = 0;
  virtual void EnableExecute(bool enabled) = 0;
  virtual void EnableCancel(bool enabled) = 0;
  virtual void EnableBatchMenu(bool enabled) = 0;
  virtual void SetTitle(const std::string& title) = 0;

  virtual bool IsOptionOn(Option option) = 0;
  // Checks or unchecks the option's menu item (start-up reads them from the
  // settings); no setting is written.
  virtual void SetOption(Option option, bool on) = 0;

  // Starts the clipboard watcher timer with the given period (0 stops it).
  virtual void SetClipboardTimer(int periodMs) = 0;

  virtual void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;

  // Processes pending window events and returns.
  virtual void PumpEvents() = 0;

  // A running command found exitRequested: end the process. A headless view
  // may return instead; the command then returns at once without saving.
  virtual void EndProcess() = 0;
};

}  // namespace tarnlow

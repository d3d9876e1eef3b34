#pragma once
// The view without a window: boxes, list and toggles held in memory, every
// status text, message box and list change recorded. Thread-safe; used by the
// tests and the command-line program.

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/view.h"

namespace tarnlow {

struct MessageRecord {
  std::string text;
  std::string title;
  MessageIcon icon;
};

struct StatusRecord {
  std::string text;
  bool caretToEnd;
};

class HeadlessView : public View {
 public:
  HeadlessView();

  // View
  std::string GetBox(Box box) override;
  void SetBox(Box box, const std::string& text) override;
  void EnableBox(Box box, bool enabled) override;
  void FocusBox(Box box) override;
  void SetStatus(const std::string& text, bool caretToEnd) override;
  void ListClear() override;
  void ListAdd(const std::string& text) override;
  int ListCount() override;
  void ListSetItemText(int index, const std::string& text) override;
  std::string ListItemText(int index) override;
  void ListSelect(int index, bool selected) override;
  int ListFirstSelected() override;
  void ListSetTopItem(int index) override;
  void SetAddressLabel(const std::string& text) override;
  std::string ExecuteCaption() override;
  void SetExecuteCaption(const std::string& caption) override;
  void EnableExecute(bool enabled) override;
  void EnableCancel(bool enabled) override;
  void EnableBatchMenu(bool enabled) override;
  void SetTitle(const std::string& title) override;
  bool IsOptionOn(Option option) override;
  void SetOption(Option option, bool on) override;
  void SetClipboardTimer(int periodMs) override;
  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
  void PumpEvents() override;
  void EndProcess() override;

  // Test and command-line side.
  // Called on every PumpEvents (for example to press cancel at a given moment).
  void SetPumpHook(std::function<void()> hook);
  // Called on every status change, after it is recorded.
  void SetStatusHook(std::function<void(const std::string&)> hook);
  // Called by ShowMessage, after it is recorded.
  void SetMessageHook(std::function<void(const MessageRecord&)> hook);

  std::string Status();
  std::vector<StatusRecord> StatusHistory();
  std::vector<MessageRecord> Messages();
  std::vector<std::string> ListItems();
  std::vector<int> SelectedItems();
  int TopItem();
  std::string AddressLabel();
  std::string Title();
  bool BoxEnabled(Box box);
  Box FocusedBox();
  bool ExecuteEnabled();
  bool CancelEnabled();
  bool BatchMenuEnabled();
  int ClipboardTimer();
  bool EndProcessCalled();
  int PumpCount();

 private:
  struct Item {
    std::string text;
    bool selected = false;
  };
  std::mutex m_mutex;
  std::map<Box, std::string> m_boxes;
  std::map<Box, bool> m_boxEnabled;
  Box m_focus = Box::Address;
  std::string m_status;
  std::vector<StatusRecord> m_statusHistory;
  std::vector<MessageRecord> m_messages;
  std::vector<Item> m_items;
  int m_topItem = 0;
  std::string m_addressLabel;
  std::string m_caption;
  std::string m_title;
  bool m_executeEnabled = true;
  bool m_cancelEnabled = false;
  bool m_batchMenuEnabled = true;
  std::map<Option, bool> m_options;
  int m_clipboardTimer = 0;
  bool m_endProcessCalled = false;
  int m_pumpCount = 0;
  std::function<void()> m_pumpHook;
  std::function<void(const std::string&)> m_statusHook;
  std::function<void(const MessageRecord&)> m_messageHook;
};

}  // namespace tarnlow

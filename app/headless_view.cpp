#include "app/headless_view.h"

#include <string_view>
#include <utility>

#include "app/app.h"

namespace tarnlow {

namespace {

// What the save-name box refuses: characters a file name cannot hold.
bool IsForbiddenInFileName(char c) {
  switch (c) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return true;
    default:
      return false;
  }
}

// Only single-byte characters are dropped: the trail byte of a double-byte
// character may equal "\" or "|" and belongs to its character.
std::string StripForbidden(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      result += text[i];
      if (i + 1 < text.size()) result += text[++i];
    } else if (!IsForbiddenInFileName(text[i])) {
      result += text[i];
    }
  }
  return result;
}

}  // namespace

HeadlessView::HeadlessView() : m_caption(CaptionContents()) {}

std::string HeadlessView::GetBox(Box box) {
  std::lock_guard lock(m_mutex);
  auto it = m_boxes.find(box);
  return it == m_boxes.end() ? std::string() : it->second;
}

void HeadlessView::SetBox(Box box, const std::string& text) {
  std::lock_guard lock(m_mutex);
  m_boxes[box] = box == Box::SaveName ? StripForbidden(text) : text;
}

void HeadlessView::EnableBox(Box box, bool enabled) {
  std::lock_guard lock(m_mutex);
  m_boxEnabled[box] = enabled;
}

void HeadlessView::FocusBox(Box box) {
  std::lock_guard lock(m_mutex);
  m_focus = box;
}

void HeadlessView::SetStatus(const std::string& text, bool caretToEnd) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard lock(m_mutex);
    m_status = text;
    m_statusHistory.push_back({text, caretToEnd});
    hook = m_statusHook;
  }
  if (hook) hook(text);
}

void HeadlessView::ListClear() {
  std::lock_guard lock(m_mutex);
  m_items.clear();
  m_topItem = 0;
}

void HeadlessView::ListAdd(const std::string& text) {
  std::lock_guard lock(m_mutex);
  m_items.push_back({text, false});
}

int HeadlessView::ListCount() {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_items.size());
}

void HeadlessView::ListSetItemText(int index, const std::string& text) {
  std::lock_guard lock(m_mutex);
  if (index >= 0 && static_cast<std::size_t>(index) < m_items.size()) m_items[index].text = text;
}

std::string HeadlessView::ListItemText(int index) {
  std::lock_guard lock(m_mutex);
  if (index < 0 || static_cast<std::size_t>(index) >= m_items.size()) return {};
  return m_items[index].text;
}

void HeadlessView::ListSelect(int index, bool selected) {
  std::lock_guard lock(m_mutex);
  if (index >= 0 && static_cast<std::size_t>(index) < m_items.size())
    m_items[index].selected = selected;
}

int HeadlessView::ListFirstSelected() {
  std::lock_guard lock(m_mutex);
  for (std::size_t i = 0; i < m_items.size(); ++i)
    if (m_items[i].selected) return static_cast<int>(i);
  return -1;
}

void HeadlessView::ListSetTopItem(int index) {
  std::lock_guard lock(m_mutex);
  m_topItem = index;
}

void HeadlessView::SetAddressLabel(const std::string& text) {
  std::lock_guard lock(m_mutex);
  m_addressLabel = text;
}

std::string HeadlessView::ExecuteCaption() {
  std::lock_guard lock(m_mutex);
  return m_caption;
}

void HeadlessView::SetExecuteCaption(const std::string& caption) {
  std::lock_guard lock(m_mutex);
  m_caption = caption;
}

void HeadlessView::EnableExecute(bool enabled) {
  std::lock_guard lock(m_mutex);
  m_executeEnabled = enabled;
}

void HeadlessView::EnableCancel(bool enabled) {
  std::lock_guard lock(m_mutex);
  m_cancelEnabled = enabled;
}

void HeadlessView::EnableBatchMenu(bool enabled) {
  std::lock_guard lock(m_mutex);
  m_batchMenuEnabled = enabled;
}

void HeadlessView::SetTitle(const std::string& title) {
  std::lock_guard lock(m_mutex);
  m_title = title;
}

bool HeadlessView::IsOptionOn(Option option) {
  std::lock_guard lock(m_mutex);
  auto it = m_options.find(option);
  return it != m_options.end() && it->second;
}

void HeadlessView::SetOption(Option option, bool on) {
  std::lock_guard lock(m_mutex);
  m_options[option] = on;
}

void HeadlessView::SetClipboardTimer(int periodMs) {
  std::lock_guard lock(m_mutex);
  m_clipboardTimer = periodMs;
}

void HeadlessView::ShowMessage(const std::string& text, const std::string& title,
                               MessageIcon icon) {
  std::function<void(const MessageRecord&)> hook;
  MessageRecord record{text, title, icon};
  {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(record);
    hook = m_messageHook;
  }
  if (hook) hook(record);
}

void HeadlessView::PumpEvents() {
  std::function<void()> hook;
  {
    std::lock_guard lock(m_mutex);
    ++m_pumpCount;
    hook = m_pumpHook;
  }
  if (hook) hook();
}

void HeadlessView::EndProcess() {
  std::lock_guard lock(m_mutex);
  m_endProcessCalled = true;
}

void HeadlessView::SetPumpHook(std::function<void()> hook) {
  std::lock_guard lock(m_mutex);
  m_pumpHook = std::move(hook);
}

void HeadlessView::SetStatusHook(std::function<void(const std::string&)> hook) {
  std::lock_guard lock(m_mutex);
  m_statusHook = std::move(hook);
}

void HeadlessView::SetMessageHook(std::function<void(const MessageRecord&)> hook) {
  std::lock_guard lock(m_mutex);
  m_messageHook = std::move(hook);
}

std::string HeadlessView::Status() {
  std::lock_guard lock(m_mutex);
  return m_status;
}

std::vector<StatusRecord> HeadlessView::StatusHistory() {
  std::lock_guard lock(m_mutex);
  return m_statusHistory;
}

std::vector<MessageRecord> HeadlessView::Messages() {
  std::lock_guard lock(m_mutex);
  return m_messages;
}

std::vector<std::string> HeadlessView::ListItems() {
  std::lock_guard lock(m_mutex);
  std::vector<std::string> texts;
  texts.reserve(m_items.size());
  for (const Item& item : m_items) texts.push_back(item.text);
  return texts;
}

std::vector<int> HeadlessView::SelectedItems() {
  std::lock_guard lock(m_mutex);
  std::vector<int> selected;
  for (std::size_t i = 0; i < m_items.size(); ++i)
    if (m_items[i].selected) selected.push_back(static_cast<int>(i));
  return selected;
}

int HeadlessView::TopItem() {
  std::lock_guard lock(m_mutex);
  return m_topItem;
}

std::string HeadlessView::AddressLabel() {
  std::lock_guard lock(m_mutex);
  return m_addressLabel;
}

std::string HeadlessView::Title() {
  std::lock_guard lock(m_mutex);
  return m_title;
}

bool HeadlessView::BoxEnabled(Box box) {
  std::lock_guard lock(m_mutex);
  auto it = m_boxEnabled.find(box);
  return it == m_boxEnabled.end() || it->second;
}

Box HeadlessView::FocusedBox() {
  std::lock_guard lock(m_mutex);
  return m_focus;
}

bool HeadlessView::ExecuteEnabled() {
  std::lock_guard lock(m_mutex);
  return m_executeEnabled;
}

bool HeadlessView::CancelEnabled() {
  std::lock_guard lock(m_mutex);
  return m_cancelEnabled;
}

bool HeadlessView::BatchMenuEnabled() {
  std::lock_guard lock(m_mutex);
  return m_batchMenuEnabled;
}

int HeadlessView::ClipboardTimer() {
  std::lock_guard lock(m_mutex);
  return m_clipboardTimer;
}

bool HeadlessView::EndProcessCalled() {
  std::lock_guard lock(m_mutex);
  return m_endProcessCalled;
}

int HeadlessView::PumpCount() {
  std::lock_guard lock(m_mutex);
  return m_pumpCount;
}

}  // namespace tarnlow

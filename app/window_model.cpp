#include "app/window_model.h"

#include <algorithm>
#include <utility>

#include "app/app.h"
#include "app/run_log.h"
#include "text/text.h"

namespace tarnlow {

namespace {

constexpr unsigned kEveryChange = (static_cast<unsigned>(Change::Progress) << 1) - 1;
constexpr unsigned kEveryBox = (1u << kBoxCount) - 1;

int Index(Box box) { return static_cast<int>(box); }
int Index(Option option) { return static_cast<int>(option); }

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

// The text a box keeps when `text` is typed into it.
std::string ApplyBoxRule(Box box, std::string_view text) {
  switch (box) {
    case Box::SaveName:
      return StripForbidden(text);
    case Box::Retry:
      // A typed "0" is a retry count of its own; anything else not positive
      // (a minus sign, letters, nothing) becomes it.
      if (SettingToInteger(text) <= 0 && text != "0") return "0";
      break;
    case Box::DelayMs:
      if (SettingToInteger(text) <= 0) return "1";
      break;
    default:
      break;
  }
  return std::string(text);
}

}  // namespace

WindowModel::WindowModel(Recording recording)
    : m_recording(recording), m_caption(CaptionContents()) {
  std::fill(std::begin(m_boxEnabled), std::end(m_boxEnabled), true);
}

WindowModel::~WindowModel() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  if (m_notifier.joinable()) m_notifier.join();
}

void WindowModel::MarkLocked(Change change) {
  m_dirty.changes |= static_cast<unsigned>(change);
  if (change == Change::List) {
    m_dirty.allItems = true;
    m_dirty.items.clear();
    m_dirty.itemMarked.clear();
  }
  if (m_subscriber) m_wake.notify_one();
}

void WindowModel::MarkBoxLocked(Box box) {
  m_dirty.boxes |= 1u << static_cast<unsigned>(box);
  MarkLocked(Change::Boxes);
}

void WindowModel::MarkItemLocked(int index) {
  if (!m_dirty.allItems) {
    const auto i = static_cast<std::size_t>(index);
    if (m_dirty.itemMarked.size() <= i) m_dirty.itemMarked.resize(m_items.size(), 0);
    if (!m_dirty.itemMarked[i]) {
      m_dirty.itemMarked[i] = 1;
      m_dirty.items.push_back(index);
    }
  }
  MarkLocked(Change::ListItems);
}

bool WindowModel::ValidIndexLocked(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < m_items.size();
}

std::string WindowModel::GetBox(Box box) const {
  std::lock_guard lock(m_mutex);
  return m_boxes[Index(box)];
}

std::string WindowModel::SetBox(Box box, std::string_view text) {
  std::string stored = ApplyBoxRule(box, text);
  BoxHandler handler;
  {
    std::lock_guard lock(m_mutex);
    m_boxes[Index(box)] = stored;
    MarkBoxLocked(box);
    handler = m_boxHandler;
  }
  if (handler) handler(box, stored);
  return stored;
}

void WindowModel::EnableBox(Box box, bool enabled) {
  std::lock_guard lock(m_mutex);
  m_boxEnabled[Index(box)] = enabled;
  MarkLocked(Change::BoxEnabled);
}

bool WindowModel::BoxEnabled(Box box) const {
  std::lock_guard lock(m_mutex);
  return m_boxEnabled[Index(box)];
}

void WindowModel::FocusBox(Box box) {
  std::lock_guard lock(m_mutex);
  m_focus = box;
  MarkLocked(Change::Focus);
}

Box WindowModel::FocusedBox() const {
  std::lock_guard lock(m_mutex);
  return m_focus;
}

void WindowModel::SetStatus(std::string text, bool caretToEnd) {
  StatusHook hook;
  {
    std::lock_guard lock(m_mutex);
    if (m_recording == Recording::On) m_statusHistory.push_back({text, caretToEnd});
    m_status = text;
    m_statusCaretToEnd = caretToEnd;
    MarkLocked(Change::Status);
    if (m_progress) {
      m_progress.reset();
      MarkLocked(Change::Progress);
    }
    hook = m_statusHook;
  }
  if (hook) hook(text);
}

std::string WindowModel::Status() const {
  std::lock_guard lock(m_mutex);
  return m_status;
}

bool WindowModel::StatusCaretToEnd() const {
  std::lock_guard lock(m_mutex);
  return m_statusCaretToEnd;
}

void WindowModel::ShowProgress(const ChapterProgress& progress) {
  std::string text = ProgressText(progress);
  StatusHook hook;
  {
    std::lock_guard lock(m_mutex);
    if (m_recording == Recording::On) m_statusHistory.push_back({text, false});
    m_status = text;
    m_statusCaretToEnd = false;
    m_progress = progress;
    MarkLocked(Change::Status);
    MarkLocked(Change::Progress);
    hook = m_statusHook;
  }
  if (hook) hook(text);
}

std::optional<ChapterProgress> WindowModel::Progress() const {
  std::lock_guard lock(m_mutex);
  return m_progress;
}

void WindowModel::ListClear() {
  std::lock_guard lock(m_mutex);
  m_items.clear();
  m_topItem = 0;
  MarkLocked(Change::List);
  MarkLocked(Change::TopItem);
}

void WindowModel::ListAdd(std::string text) {
  std::lock_guard lock(m_mutex);
  m_items.push_back({std::move(text), false});
  MarkLocked(Change::List);
}

void WindowModel::ListSetAll(std::vector<std::string> texts) {
  std::vector<ListItem> items;
  items.reserve(texts.size());
  for (std::string& text : texts) items.push_back({std::move(text), false});
  std::lock_guard lock(m_mutex);
  m_items = std::move(items);
  m_topItem = 0;
  MarkLocked(Change::List);
  MarkLocked(Change::TopItem);
}

int WindowModel::ListCount() const {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_items.size());
}

void WindowModel::ListSetItemText(int index, std::string text) {
  std::lock_guard lock(m_mutex);
  if (!ValidIndexLocked(index)) return;
  m_items[static_cast<std::size_t>(index)].text = std::move(text);
  MarkItemLocked(index);
}

std::string WindowModel::ListItemText(int index) const {
  std::lock_guard lock(m_mutex);
  return ValidIndexLocked(index) ? m_items[static_cast<std::size_t>(index)].text : std::string();
}

ListItem WindowModel::ListItemAt(int index) const {
  std::lock_guard lock(m_mutex);
  return ValidIndexLocked(index) ? m_items[static_cast<std::size_t>(index)] : ListItem();
}

void WindowModel::ListSelect(int index, bool selected) {
  std::lock_guard lock(m_mutex);
  if (!ValidIndexLocked(index)) return;
  m_items[static_cast<std::size_t>(index)].selected = selected;
  MarkItemLocked(index);
}

int WindowModel::ListFirstSelected() const {
  std::lock_guard lock(m_mutex);
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i].selected) return static_cast<int>(i);
  }
  return -1;
}

void WindowModel::ListSetTopItem(int index) {
  std::lock_guard lock(m_mutex);
  m_topItem = index;
  MarkLocked(Change::TopItem);
}

int WindowModel::TopItem() const {
  std::lock_guard lock(m_mutex);
  return m_topItem;
}

std::vector<std::string> WindowModel::ListItems() const {
  std::lock_guard lock(m_mutex);
  std::vector<std::string> texts;
  texts.reserve(m_items.size());
  for (const ListItem& item : m_items) texts.push_back(item.text);
  return texts;
}

std::vector<int> WindowModel::SelectedItems() const {
  std::lock_guard lock(m_mutex);
  std::vector<int> selected;
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i].selected) selected.push_back(static_cast<int>(i));
  }
  return selected;
}

std::vector<ListItem> WindowModel::ListSnapshot() const {
  std::lock_guard lock(m_mutex);
  return m_items;
}

void WindowModel::SetAddressLabel(std::string text) {
  std::lock_guard lock(m_mutex);
  m_addressLabel = std::move(text);
  MarkLocked(Change::AddressLabel);
}

std::string WindowModel::AddressLabel() const {
  std::lock_guard lock(m_mutex);
  return m_addressLabel;
}

void WindowModel::SetExecuteCaption(std::string caption) {
  std::lock_guard lock(m_mutex);
  m_caption = std::move(caption);
  MarkLocked(Change::Buttons);
}

std::string WindowModel::ExecuteCaption() const {
  std::lock_guard lock(m_mutex);
  return m_caption;
}

void WindowModel::EnableExecute(bool enabled) {
  std::lock_guard lock(m_mutex);
  m_executeEnabled = enabled;
  MarkLocked(Change::Buttons);
}

bool WindowModel::ExecuteEnabled() const {
  std::lock_guard lock(m_mutex);
  return m_executeEnabled;
}

void WindowModel::EnableCancel(bool enabled) {
  std::lock_guard lock(m_mutex);
  m_cancelEnabled = enabled;
  MarkLocked(Change::Buttons);
}

bool WindowModel::CancelEnabled() const {
  std::lock_guard lock(m_mutex);
  return m_cancelEnabled;
}

void WindowModel::EnableBatchMenu(bool enabled) {
  std::lock_guard lock(m_mutex);
  m_batchMenuEnabled = enabled;
  MarkLocked(Change::Buttons);
}

bool WindowModel::BatchMenuEnabled() const {
  std::lock_guard lock(m_mutex);
  return m_batchMenuEnabled;
}

void WindowModel::SetTitle(std::string title) {
  std::lock_guard lock(m_mutex);
  m_title = std::move(title);
  MarkLocked(Change::Title);
}

std::string WindowModel::Title() const {
  std::lock_guard lock(m_mutex);
  return m_title;
}

void WindowModel::SetOption(Option option, bool on) {
  std::lock_guard lock(m_mutex);
  m_options[Index(option)] = on;
  MarkLocked(Change::Options);
}

bool WindowModel::IsOptionOn(Option option) const {
  std::lock_guard lock(m_mutex);
  return m_options[Index(option)];
}

void WindowModel::SetClipboardTimer(int periodMs) {
  std::lock_guard lock(m_mutex);
  m_clipboardTimer = periodMs;
  MarkLocked(Change::ClipboardTimer);
}

int WindowModel::ClipboardTimer() const {
  std::lock_guard lock(m_mutex);
  return m_clipboardTimer;
}

void WindowModel::Subscribe(Subscriber subscriber) {
  bool start = false;
  {
    std::unique_lock lock(m_mutex);
    // The old subscriber may be in use; its owner may go once this returns.
    if (std::this_thread::get_id() != m_notifierId) {
      m_delivered.wait(lock, [this] { return !m_delivering; });
    }
    m_subscriber = std::move(subscriber);
    if (m_subscriber) {
      m_dirty.changes = kEveryChange;
      m_dirty.boxes = kEveryBox;
      MarkLocked(Change::List);
      start = !m_notifier.joinable();
    }
  }
  m_delivered.notify_all();
  if (start) {
    m_notifier = std::thread([this] { NotifierLoop(); });
  } else {
    m_wake.notify_one();
  }
}

bool WindowModel::WaitForDeliveries(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_delivered.wait_for(
      lock, timeout, [this] { return !m_subscriber || (m_dirty.changes == 0 && !m_delivering); });
}

void WindowModel::SetBoxHandler(BoxHandler handler) {
  std::lock_guard lock(m_mutex);
  m_boxHandler = std::move(handler);
}

std::vector<StatusRecord> WindowModel::StatusHistory() const {
  std::lock_guard lock(m_mutex);
  return m_statusHistory;
}

void WindowModel::SetStatusHook(StatusHook hook) {
  std::lock_guard lock(m_mutex);
  m_statusHook = std::move(hook);
}

void WindowModel::NotifierLoop() {
  std::unique_lock lock(m_mutex);
  m_notifierId = std::this_thread::get_id();
  for (;;) {
    m_wake.wait(lock, [this] { return m_stopping || (m_subscriber && m_dirty.changes != 0); });
    if (m_stopping) return;

    Dirty dirty = std::exchange(m_dirty, Dirty());
    const Subscriber subscriber = m_subscriber;
    m_delivering = true;
    lock.unlock();

    ChangeSet changes;
    changes.changes = dirty.changes;
    changes.boxes = dirty.boxes;
    if (dirty.allItems) {
      changes.changes &= ~static_cast<unsigned>(Change::ListItems);
    } else {
      changes.items = std::move(dirty.items);
      std::sort(changes.items.begin(), changes.items.end());
    }
    subscriber(changes);

    lock.lock();
    m_delivering = false;
    m_delivered.notify_all();
  }
}

}  // namespace tarnlow

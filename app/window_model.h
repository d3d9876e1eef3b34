#pragma once
// The state the main window shows, owned by the engine: box texts and their
// enabled state, the focus request, the status text, the chapter list box
// with its selection and top item, the address label, the execute caption
// and the other buttons, the title, the option toggles, the clipboard
// watcher's period and the counts of a running chapter run. All texts are
// GBK. One mutex guards everything, so the command thread, the worker threads
// and the UI thread may all call any member; no member calls a toolkit.
//
// The input rules of the boxes live here, so that every front end shares
// them: the save-name box drops / \ : * ? " < > |, the retry box turns a
// non-positive number other than "0" into "0", the milliseconds box turns a
// non-positive number into "1".
//
// Changes are announced to one subscriber, on a thread of the model. Changes
// made while the subscriber is busy are merged into its next delivery, so a
// slow subscriber never holds up a command or a worker, and the last delivery
// always comes after the last change. A window subscribes, posts itself an
// event from the subscriber, and reads the state on its own thread:
//
//   model.Subscribe([this](const ChangeSet& changes) { PostToUiThread(changes); });
//
// The tests and the command-line program read the state directly and may keep
// every status text in order (Recording::On) or watch them as they are set.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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
inline constexpr int kBoxCount = 8;

// Checkable menu items.
enum class Option {
  NextPage,              // 自动取下一页目录
  CleanDubious,          // 自动清理可疑的链接
  KeepDubiousWithMarks,  // 标记取目录时不清理可疑链接
  Renumber,              // 自动重置章节编号
  MonitorClip,           // 监视剪辑版
  AutoMonitorClip,       // 监视剪辑版时自动添加
  OnTop,                 // 窗口置顶
  AutoList,              // 自动识别目录
  AutoText,              // 自动识别正文
  HealthReport,          // 下载后体检
};
inline constexpr int kOptionCount = 10;

// One item of the chapter list box (列表框1).
struct ListItem {
  std::string text;
  bool selected = false;
};

// The counts of a chapter run, published on every poll of the run.
struct ChapterProgress {
  int taskCount = 1;   // batch tasks; 1 outside a batch
  int taskNumber = 1;  // the task under way, 1-based; 1 outside a batch
  int total = 0;       // chapters in the list
  int queued = 0;      // not started yet
  int reading = 0;     // being fetched now
  int done = 0;        // total - queued - reading
  int failed = 0;      // failed after every attempt
  int cached = 0;      // taken from the chapter cache instead of fetched
  bool operator==(const ChapterProgress&) const = default;
};

// What changed since the subscriber's last delivery.
enum class Change : unsigned {
  Boxes = 1u << 0,            // box texts; ChangeSet::boxes says which
  BoxEnabled = 1u << 1,       // enabled state of the boxes
  Focus = 1u << 2,            // a box was asked to take the focus (FocusedBox)
  Status = 1u << 3,           // status text or its caret request
  List = 1u << 4,             // items added, removed or replaced: read the whole list
  ListItems = 1u << 5,        // text or selection of the items in ChangeSet::items
  TopItem = 1u << 6,          // the list's top item
  AddressLabel = 1u << 7,     // 标签_网址
  Buttons = 1u << 8,          // execute caption and enabled state, cancel, 批处理...
  Title = 1u << 9,            // the window title
  Options = 1u << 10,         // option toggles
  ClipboardTimer = 1u << 11,  // the clipboard watcher's period
  Progress = 1u << 12,        // the chapter run's counts
};

struct ChangeSet {
  unsigned changes = 0;    // Change bits
  unsigned boxes = 0;      // bit 1 << Box for every box whose text changed
  std::vector<int> items;  // with ListItems: the changed items, ascending; empty with List

  bool Has(Change change) const { return (changes & static_cast<unsigned>(change)) != 0; }
  bool HasBox(Box box) const { return (boxes & (1u << static_cast<unsigned>(box))) != 0; }
};

struct StatusRecord {
  std::string text;
  bool caretToEnd;
};

enum class Recording {
  Off,  // only the current state is kept
  On,   // every status text is kept in order as well (StatusHistory)
};

class WindowModel {
 public:
  using Subscriber = std::function<void(const ChangeSet&)>;
  using BoxHandler = std::function<void(Box box, const std::string& text)>;
  using StatusHook = std::function<void(const std::string& text)>;

  explicit WindowModel(Recording recording = Recording::Off);
  // Stops the notifier thread; changes not delivered by then are dropped.
  ~WindowModel();
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  // Edit boxes. SetBox behaves as typing the text (also when a command fills
  // a box): the box's rule is applied, the result stored, and then the box
  // handler runs, on the calling thread and outside the lock. Returns the
  // text stored, so that a box whose typed text was changed by its rule can
  // show the result (with the caret at its end).
  std::string GetBox(Box box) const;
  std::string SetBox(Box box, std::string_view text);
  void EnableBox(Box box, bool enabled);
  bool BoxEnabled(Box box) const;
  // Asks the window to give `box` the focus; FocusedBox is the last request.
  void FocusBox(Box box);
  Box FocusedBox() const;

  // The status panel (编辑框_输出): replaces the whole content; caretToEnd
  // asks for the caret behind the last character.
  void SetStatus(std::string text, bool caretToEnd);
  std::string Status() const;
  bool StatusCaretToEnd() const;
  // Publishes a chapter run's counts and shows them as the status (the
  // progress block, without moving the caret).
  void ShowProgress(const ChapterProgress& progress);
  // The counts while the status shows them; nothing once another status is set.
  std::optional<ChapterProgress> Progress() const;

  // The chapter list box. Indices are 0-based; an index out of range is
  // ignored (setters) or gives the empty text / -1 (getters). Changing an
  // item's text keeps its selection and the top item.
  void ListClear();
  void ListAdd(std::string text);
  // Replaces all items by these texts, none selected, top item 0.
  void ListSetAll(std::vector<std::string> texts);
  int ListCount() const;
  void ListSetItemText(int index, std::string text);
  std::string ListItemText(int index) const;
  ListItem ListItemAt(int index) const;
  void ListSelect(int index, bool selected);
  int ListFirstSelected() const;  // -1 when none
  void ListSetTopItem(int index);
  int TopItem() const;
  std::vector<std::string> ListItems() const;
  std::vector<int> SelectedItems() const;
  std::vector<ListItem> ListSnapshot() const;

  // 标签_网址.
  void SetAddressLabel(std::string text);
  std::string AddressLabel() const;

  // 按钮_执行 (caption and enabled state), 按钮_取消, the menu item 批处理...
  void SetExecuteCaption(std::string caption);
  std::string ExecuteCaption() const;
  void EnableExecute(bool enabled);
  bool ExecuteEnabled() const;
  void EnableCancel(bool enabled);
  bool CancelEnabled() const;
  void EnableBatchMenu(bool enabled);
  bool BatchMenuEnabled() const;

  void SetTitle(std::string title);
  std::string Title() const;

  // The checked state of the option's menu item; no setting is written here.
  void SetOption(Option option, bool on);
  bool IsOptionOn(Option option) const;

  // The clipboard watcher timer's period in milliseconds (0: stopped).
  void SetClipboardTimer(int periodMs);
  int ClipboardTimer() const;

  // The one subscriber; an empty function removes it. A new subscriber first
  // gets a delivery naming everything, so it can draw the whole window.
  // Replacing or removing a subscriber waits for a delivery in progress to
  // end (unless called from inside the subscriber itself).
  void Subscribe(Subscriber subscriber);
  // Blocks until every change made so far has been delivered and no
  // delivery is in progress, or until `timeout` has passed (false then).
  // True at once without a subscriber.
  bool WaitForDeliveries(std::chrono::milliseconds timeout) const;

  // Side effects of box changes that a front end wants (the desktop window
  // saves the boxes' settings); called after the rule, outside the lock, on
  // the thread that set the box. One handler; empty removes it.
  void SetBoxHandler(BoxHandler handler);

  // Recording::On: every status text in order, with its caret request.
  std::vector<StatusRecord> StatusHistory() const;
  // Called with every status text right after it is stored, on the thread
  // that set it and outside the lock (tests press buttons from it).
  void SetStatusHook(StatusHook hook);

 private:
  struct Dirty {
    unsigned changes = 0;
    unsigned boxes = 0;
    bool allItems = false;
    std::vector<int> items;  // unsorted, each once (see itemMarked)
    std::vector<char> itemMarked;
  };

  void MarkLocked(Change change);
  void MarkItemLocked(int index);
  void MarkBoxLocked(Box box);
  bool ValidIndexLocked(int index) const;
  void NotifierLoop();

  const Recording m_recording;
  mutable std::mutex m_mutex;

  std::string m_boxes[kBoxCount];
  bool m_boxEnabled[kBoxCount];
  Box m_focus = Box::Address;
  std::string m_status;
  bool m_statusCaretToEnd = false;
  std::optional<ChapterProgress> m_progress;
  std::vector<ListItem> m_items;
  int m_topItem = 0;
  std::string m_addressLabel;
  std::string m_caption;
  bool m_executeEnabled = true;
  bool m_cancelEnabled = false;
  bool m_batchMenuEnabled = true;
  std::string m_title;
  bool m_options[kOptionCount] = {};
  int m_clipboardTimer = 0;

  BoxHandler m_boxHandler;
  StatusHook m_statusHook;
  std::vector<StatusRecord> m_statusHistory;

  // Delivery: changes gather in m_dirty under m_mutex; the notifier thread
  // takes them whole and calls the subscriber without the lock.
  Subscriber m_subscriber;
  Dirty m_dirty;
  bool m_delivering = false;
  bool m_stopping = false;
  std::thread::id m_notifierId;
  mutable std::condition_variable m_wake;       // changes to deliver, or stopping
  mutable std::condition_variable m_delivered;  // a delivery ended
  std::thread m_notifier;
};

}  // namespace tarnlow

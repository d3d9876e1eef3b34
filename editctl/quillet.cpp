// libQuillet.so: hides the context menu or the caret of edit controls and
// sets their grey hint text, through event filters rather than subclassing.

#include <QApplication>
#include <QMetaProperty>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <string>
#include <vector>

#include "editctl/edit_filters.h"
#include "text/codepage.h"

namespace quillet {
namespace {

// The controls a filter was installed on, in the order of the calls. Entries
// of destroyed controls stay (their pointer turns null), so a later control
// at the same address is a different entry.
using ControlList = std::vector<QPointer<QWidget>>;

ControlList& MenuHiddenList() {
  // Made on first use, kept for the life of the process (the library is
  // never unloaded: installed filters run its code).
  static auto* list = new ControlList;
  return *list;
}

ControlList& CaretHiddenList() {
  static auto* list = new ControlList;
  return *list;
}

bool OnWidgetThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return qobject_cast<QApplication*>(app) && QThread::currentThread() == app->thread();
}

// The widget behind a handle, when it is a live widget of this process and
// the caller is on the widgets' thread. The handle is compared with the
// live widgets before it is used, never dereferenced.
QWidget* LiveWidget(void* handle) {
  if (!handle || !OnWidgetThread()) return nullptr;
  auto* widget = static_cast<QWidget*>(handle);
  return QApplication::allWidgets().contains(widget) ? widget : nullptr;
}

bool Listed(const ControlList& list, const QWidget* control) {
  return std::find(list.begin(), list.end(), control) != list.end();
}

}  // namespace
}  // namespace quillet

#define QUILLET_EXPORT extern "C" __attribute__((visibility("default")))

// Each export takes a QLineEdit*, QTextEdit* or QPlainTextEdit* (MenuHide and
// MenuShow take any widget) and returns 0 for anything that is not a live
// widget of this process or when called off the widgets' thread.

// Keeps the control's caret hidden for good. 1 when the control was added,
// 0 when it was hidden already or has no caret.
QUILLET_EXPORT int CursorHide(void* edit) {
  using namespace quillet;
  QWidget* control = LiveWidget(edit);
  if (!control || Listed(CaretHiddenList(), control)) return 0;
  if (!CaretHider::Instance().Install(control)) return 0;
  CaretHiddenList().emplace_back(control);
  return 1;
}

// Stops the control's context menu. 1 when the control was added, 0 when its
// menu was hidden already.
QUILLET_EXPORT int MenuHide(void* edit) {
  using namespace quillet;
  QWidget* control = LiveWidget(edit);
  if (!control || Listed(MenuHiddenList(), control)) return 0;
  MenuBlocker::Instance().Install(control);
  MenuHiddenList().emplace_back(control);
  return 1;
}

// Gives a control its context menu back, or every control for (void*)-1,
// which also empties the list. 1 when something was restored, 0 when the
// list is empty or the control is not in it.
QUILLET_EXPORT int MenuShow(void* edit) {
  using namespace quillet;
  if (!OnWidgetThread()) return 0;
  ControlList& list = MenuHiddenList();
  if (list.empty()) return 0;
  if (edit == reinterpret_cast<void*>(-1)) {
    for (const QPointer<QWidget>& control : list) {
      if (control) MenuBlocker::Instance().Remove(control);
    }
    list.clear();
    return 1;
  }
  QWidget* control = LiveWidget(edit);
  auto it = std::find(list.begin(), list.end(), control);
  if (!control || it == list.end()) return 0;
  MenuBlocker::Instance().Remove(control);
  list.erase(it);
  return 1;
}

// Sets the grey hint text the control shows while it is empty. text is
// code page 936 (GBK), null meaning empty. 1 on success, 0 for a control
// that has no hint text.
QUILLET_EXPORT int SetTip(void* edit, const char* text) {
  using namespace quillet;
  QWidget* control = LiveWidget(edit);
  if (!control) return 0;
  const QMetaObject* meta = control->metaObject();
  const int index = meta->indexOfProperty("placeholderText");
  if (index < 0 || !meta->property(index).isWritable()) return 0;
  const std::u16string tip = tarnlow::GbkToUtf16(text ? text : "");
  return meta->property(index).write(
             control, QString::fromUtf16(tip.data(), static_cast<qsizetype>(tip.size())))
             ? 1
             : 0;
}

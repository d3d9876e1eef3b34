#include "ui/clipboard_watcher.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

#include "app/app.h"
#include "commands/batch.h"
#include "ui/batch_dialog.h"
#include "ui/input_dialog.h"
#include "ui/main_window.h"
#include "ui/modal.h"
#include "ui/qt_text.h"
#include "ui/toast.h"

namespace tarnlow::ui {

ClipboardWatcher::ClipboardWatcher(MainWindow& window) : m_window(window) {
  connect(window.ClipboardTimer(), &QTimer::timeout, this, [this] { Tick(); });
}

void ClipboardWatcher::Tick() {
  // Ticks that come while the toast is open wait for the next change.
  if (m_toastOpen) return;
  App& app = m_window.app();
  WindowModel& model = app.model;
  // A running command stops the watcher; the reset or the toggle starts it.
  if (m_window.CommandActive()) {
    model.SetClipboardTimer(0);
    return;
  }
  const std::string text = FromQt(QGuiApplication::clipboard()->text());
  if (text.empty() || text == m_last) return;
  if (!IsNewBatchAddress(app, text)) return;

  if (model.IsOptionOn(Option::AutoMonitorClip)) {
    if (!AddBatchAddress(app, text)) {
      m_last = text;  // config.ini cannot be written: not again for this text
      return;
    }
    OpenToast(text, true);
    model.SetBox(Box::Address, text);
  } else {
    OpenToast(text, false);
    if (model.GetBox(Box::Address) != text) {  // not added
      m_last = text;
      return;
    }
  }
  const InputDialogState& dialog = m_window.InputDialogRecord();
  if (dialog.open && dialog.mode == 0) AddToBatchDialog(*dialog.open, text);
  m_last = text;
}

void ClipboardWatcher::OpenToast(const std::string& address, bool autoAdd) {
  App& app = m_window.app();
  // The button adds the address the toast offers, whatever was copied
  // since: a later copy is offered by a toast of its own.
  Toast toast(m_window.libraries(), app.log.uiFont, autoAdd, [&app, &address] {
    if (AddBatchAddress(app, address)) app.model.SetBox(Box::Address, address);
  });
  m_toastOpen = true;
  ExecModal(toast);
  m_toastOpen = false;
}

}  // namespace tarnlow::ui

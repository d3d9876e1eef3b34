#include "ui/status_menu.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

#include <memory>

#include "app/app.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/status_panel.h"

namespace tarnlow::ui {

namespace {

// A copy of everything the clipboard holds, to put back later.
std::unique_ptr<QMimeData> CopyOf(const QMimeData* data) {
  auto copy = std::make_unique<QMimeData>();
  if (data == nullptr) return copy;
  for (const QString& format : data->formats()) copy->setData(format, data->data(format));
  if (data->hasImage()) copy->setImageData(data->imageData());
  return copy;
}

struct Target {
  const char* caption;
  Box box;
};

constexpr Target kTargets[] = {
    {"添加到目录开始标记", Box::ListBegin}, {"添加到目录结束标记", Box::ListEnd},
    {"添加到章节开始标记", Box::TextBegin}, {"添加到章节结束标记", Box::TextEnd},
    {"添加到保存名称", Box::SaveName},
};

}  // namespace

StatusMenu::StatusMenu(MainWindow& window)
    : RightClickMenu(window, window.StatusBox()->viewport(), QEvent::MouseButtonRelease) {}

bool StatusMenu::Offered() const {
  const WindowModel& model = m_window.app().model;
  return model.ExecuteEnabled() && model.ExecuteCaption() == CaptionChapters();
}

void StatusMenu::Fill(QMenu& menu) {
  const bool selected = m_window.StatusBox()->textCursor().hasSelection();
  QAction* copy = menu.addAction(QStringLiteral("复制"));
  copy->setEnabled(selected);
  connect(copy, &QAction::triggered, this,
          [this] { QGuiApplication::clipboard()->setText(m_window.StatusBox()->SelectedText()); });
  for (const Target& target : kTargets) {
    if (target.box == Box::SaveName) menu.addSeparator();
    QAction* action = menu.addAction(QString::fromUtf8(target.caption));
    action->setEnabled(selected);
    const int box = static_cast<int>(target.box);
    connect(action, &QAction::triggered, this, [this, box] { AddSelectionTo(box); });
  }
}

void StatusMenu::AddSelectionTo(int box) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  std::unique_ptr<QMimeData> previous = CopyOf(clipboard->mimeData());
  clipboard->setText(m_window.StatusBox()->SelectedText());
  const QString copied = clipboard->text();
  // The box's rule applies (the save name drops / \ : * ? " < > |) and its
  // setting is saved, as if typed.
  m_window.app().model.SetBox(static_cast<Box>(box), FromQt(copied));
  if (previous->formats().isEmpty())
    clipboard->clear();
  else
    clipboard->setMimeData(previous.release());
}

}  // namespace tarnlow::ui

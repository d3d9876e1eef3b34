// The main window drawn from the window model, on the UI thread.

#include <QAction>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include "app/app.h"
#include "ui/chapter_list_model.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/status_panel.h"

namespace tarnlow::ui {

namespace {

// Past this many changed items one copy of the whole list is cheaper than
// asking the model item by item.
constexpr std::size_t kItemsForSnapshot = 64;

}  // namespace

void MainWindow::Render(const ChangeSet& changes) {
  if (changes.Has(Change::Boxes)) {
    for (int i = 0; i < kBoxCount; ++i) {
      if (changes.HasBox(static_cast<Box>(i))) RenderBox(static_cast<Box>(i));
    }
  }
  if (changes.Has(Change::BoxEnabled)) {
    for (int i = 0; i < kBoxCount; ++i)
      m_boxes[i]->setEnabled(m_model.BoxEnabled(static_cast<Box>(i)));
  }
  if (changes.Has(Change::Status)) RenderStatus();
  if (changes.Has(Change::List))
    RenderWholeList();
  else if (changes.Has(Change::ListItems))
    RenderListItems(changes.items);
  if (changes.Has(Change::TopItem) || changes.Has(Change::List)) RenderTopItem();
  if (changes.Has(Change::AddressLabel)) m_addressLabel->setText(ToQt(m_model.AddressLabel()));
  if (changes.Has(Change::Buttons)) RenderButtons();
  if (changes.Has(Change::Title)) setWindowTitle(ToQt(m_model.Title()));
  if (changes.Has(Change::Options)) RenderOnTop();
  if (changes.Has(Change::ClipboardTimer)) RenderClipboardTimer();
  // After the boxes are enabled, so that a disabled box can take no focus
  // it was not meant to have.
  if (changes.Has(Change::Focus)) BoxEdit(m_model.FocusedBox())->setFocus();
  for (const auto& renderer : m_renderers) renderer(changes);
}

void MainWindow::RenderBox(Box box) {
  const QString text = ToQt(m_model.GetBox(box));
  QLineEdit* edit = BoxEdit(box);
  // The same text again leaves the caret where the user has it.
  if (edit->text() != text) edit->setText(text);
}

void MainWindow::RenderStatus() {
  m_status->SetStatusText(ToQtLines(m_model.Status()), m_model.StatusCaretToEnd());
}

void MainWindow::RenderWholeList() {
  const std::vector<ListItem> items = m_model.ListSnapshot();
  std::vector<std::string> texts;
  texts.reserve(items.size());
  for (const ListItem& item : items) texts.push_back(item.text);
  m_listModel->Reset(texts);

  QItemSelection selection;
  const int count = static_cast<int>(items.size());
  for (int i = 0; i < count;) {
    if (!items[static_cast<std::size_t>(i)].selected) {
      ++i;
      continue;
    }
    int end = i;
    while (end + 1 < count && items[static_cast<std::size_t>(end + 1)].selected) ++end;
    selection.select(m_listModel->index(i), m_listModel->index(end));
    i = end + 1;
  }
  m_applyingSelection = true;
  m_list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  m_applyingSelection = false;
}

void MainWindow::RenderListItems(const std::vector<int>& changed) {
  std::vector<std::pair<int, ListItem>> items;
  items.reserve(changed.size());
  if (changed.size() > kItemsForSnapshot) {
    const std::vector<ListItem> snapshot = m_model.ListSnapshot();
    for (int index : changed) {
      if (index >= 0 && static_cast<std::size_t>(index) < snapshot.size())
        items.emplace_back(index, snapshot[static_cast<std::size_t>(index)]);
    }
  } else {
    for (int index : changed) items.emplace_back(index, m_model.ListItemAt(index));
  }

  std::vector<std::pair<int, std::string>> texts;
  texts.reserve(items.size());
  QItemSelection select;
  QItemSelection deselect;
  QItemSelectionModel* selectionModel = m_list->selectionModel();
  for (auto& [index, item] : items) {
    if (index >= m_listModel->rowCount()) continue;
    const QModelIndex modelIndex = m_listModel->index(index);
    if (item.selected != selectionModel->isSelected(modelIndex))
      (item.selected ? select : deselect).select(modelIndex, modelIndex);
    texts.emplace_back(index, std::move(item.text));
  }
  // Changing a text keeps the selection, the top item and the caret.
  m_listModel->SetTexts(texts);
  if (!select.isEmpty() || !deselect.isEmpty()) {
    m_applyingSelection = true;
    if (!deselect.isEmpty()) selectionModel->select(deselect, QItemSelectionModel::Deselect);
    if (!select.isEmpty()) selectionModel->select(select, QItemSelectionModel::Select);
    m_applyingSelection = false;
  }
}

void MainWindow::RenderTopItem() {
  const int top = m_model.TopItem();
  if (top < 0 || top >= m_listModel->rowCount()) return;
  m_list->scrollTo(m_listModel->index(top), QAbstractItemView::PositionAtTop);
}

void MainWindow::RenderButtons() {
  m_execute->setText(ToQt(m_model.ExecuteCaption()));
  m_execute->setEnabled(m_model.ExecuteEnabled());
  m_cancel->setEnabled(m_model.CancelEnabled());
  BatchAction()->setEnabled(m_model.BatchMenuEnabled());
}

void MainWindow::RenderOnTop() {
  const bool onTop = m_model.IsOptionOn(Option::OnTop);
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  // Changing a flag hides a shown window.
  if (visible) show();
}

void MainWindow::RenderClipboardTimer() {
  const int period = m_model.ClipboardTimer();
  if (period <= 0) {
    m_clipboardTimer->stop();
  } else {
    m_clipboardTimer->start(period);
  }
}

}  // namespace tarnlow::ui

#include "ui/chapter_list_model.h"

#include <algorithm>
#include <climits>

#include "ui/qt_text.h"

namespace tarnlow::ui {

int ChapterListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant ChapterListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_rows.size()) return {};
  if (role == Qt::DisplayRole) return m_rows[index.row()];
  return {};
}

void ChapterListModel::Reset(const std::vector<std::string>& texts) {
  beginResetModel();
  m_rows.clear();
  m_rows.reserve(static_cast<qsizetype>(texts.size()));
  for (const std::string& text : texts) m_rows.push_back(ToQt(text));
  endResetModel();
}

void ChapterListModel::SetTexts(const std::vector<std::pair<int, std::string>>& texts) {
  int first = INT_MAX;
  int last = -1;
  for (const auto& [row, text] : texts) {
    if (row < 0 || row >= m_rows.size()) continue;
    m_rows[row] = ToQt(text);
    first = std::min(first, row);
    last = std::max(last, row);
  }
  if (last >= 0) emit dataChanged(index(first), index(last), {Qt::DisplayRole});
}

}  // namespace tarnlow::ui

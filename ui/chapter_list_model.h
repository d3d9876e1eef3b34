#pragma once
// The rows of the chapter list box (列表框1): the item texts of the window
// model, converted once and kept here, so that painting never reaches into
// the model or its lock.

#include <QAbstractListModel>
#include <QString>
#include <QVector>

#include <string>
#include <vector>

namespace tarnlow::ui {

class ChapterListModel : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // All rows anew (GBK texts).
  void Reset(const std::vector<std::string>& texts);
  // Item texts changed; rows out of range are ignored. One change signal
  // for the span they cover.
  void SetTexts(const std::vector<std::pair<int, std::string>>& texts);

 private:
  QVector<QString> m_rows;
};

}  // namespace tarnlow::ui

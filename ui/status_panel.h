#pragma once
// The status panel (编辑框_输出): read-only, both scroll bars, dark blue text
// on white. A contents page arrives as one line of tens or hundreds of
// kilobytes, and laying out one such line takes the UI thread far longer
// than a frame. The panel therefore shows a long line cut into display lines
// of at most kDisplayLine characters (after a ">" where one is near), which
// are laid out only when scrolled into view; the cuts are the panel's own:
// a selection copies, and SelectedText gives, the text as it was set.

#include <QPlainTextEdit>
#include <QString>

#include <vector>

namespace tarnlow::ui {

class StatusPanel : public QPlainTextEdit {
 public:
  static constexpr int kDisplayLine = 1024;

  explicit StatusPanel(QWidget* parent);

  // Replaces the whole content; caretToEnd puts the caret behind the last
  // character (the end comes into view). "\r\n" and "\r" are line breaks.
  void SetStatusText(const QString& content, bool caretToEnd);
  // The content as set, its line breaks as "\n".
  const QString& StatusText() const { return m_text; }
  // The selected part of the content as set (empty without a selection).
  QString SelectedText() const;

 protected:
  QMimeData* createMimeDataFromSelection() const override;

 private:
  // A position in the shown text as a position in the text as set.
  int ToTextPosition(int shownPosition) const;

  QString m_text;
  std::vector<int> m_cuts;  // positions of the line breaks the panel added, ascending
};

}  // namespace tarnlow::ui

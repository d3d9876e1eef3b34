#pragma once
// The small modal window shared by the batch addresses, the clean-text rules
// and the thread count: two prompt labels, one edit box (编辑框1) and the
// buttons 保存 and 取消. Each mode sets the window up and saves in its own way.

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tarnlow::ui {

class MainWindow;

class InputDialog : public QDialog {
 public:
  explicit InputDialog(QWidget* owner);

  QLabel* Label1() const { return m_label1; }
  QLabel* Label2() const { return m_label2; }
  QPushButton* SaveButton() const { return m_save; }
  QPushButton* CancelButton() const { return m_cancel; }

  // 编辑框1 is a multi-line box with a vertical scroll bar; a mode may turn
  // it into a one-line box (the thread count). Both forms sit at the same
  // place and only one is shown.
  void SetOneLine(bool oneLine);
  bool IsOneLine() const { return m_oneLine; }
  QPlainTextEdit* MultiLineEdit() const { return m_multiLine; }
  QLineEdit* OneLineEdit() const { return m_line; }
  QWidget* Edit() const;
  void SetEditGeometry(const QRect& geometry);
  QRect EditGeometry() const;
  QString Text() const;
  void SetText(const QString& text);
  void PutCaretAtEnd();

  // The mode's 保存 action ends with this: the dialog closes as saved.
  void SaveAndClose();
  bool Saved() const { return m_saved; }

 private:
  QLabel* m_label1;
  QLabel* m_label2;
  QPlainTextEdit* m_multiLine;
  QLineEdit* m_line;
  QPushButton* m_save;
  QPushButton* m_cancel;
  bool m_oneLine = false;
  bool m_saved = false;
};

// A mode of the dialog: 0 batch addresses, 1 clean-text rules, 2 thread
// count. `setUp` runs after the prompt is shown; `save` is what 保存 does and
// ends with SaveAndClose when the input is taken.
struct InputDialogMode {
  int number = 0;
  std::function<void(InputDialog&)> setUp;
  std::function<void(InputDialog&)> save;
};

// Opens the dialog modally over the main window, with the prompt split at
// "\r\n" into its two labels (GBK), and returns whether the user saved.
bool OpenInputDialog(MainWindow& window, const std::string& prompt, const InputDialogMode& mode);

}  // namespace tarnlow::ui

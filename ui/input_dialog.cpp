#include "ui/input_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "app/app.h"
#include "ui/fonts.h"
#include "ui/libraries.h"
#include "ui/main_window.h"
#include "ui/modal.h"
#include "ui/qt_text.h"

namespace tarnlow::ui {

namespace {

constexpr QRect kDialog(50, 50, 428, 261);

}  // namespace

InputDialog::InputDialog(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("输入框"));
  setWindowTitle(QStringLiteral("   输入内容"));
  setModal(true);
  move(kDialog.topLeft());
  resize(kDialog.size());

  m_label1 = new QLabel(this);
  m_label1->setObjectName(QStringLiteral("标签1"));
  m_label1->setGeometry(28, 27, 380, 21);
  m_label2 = new QLabel(this);
  m_label2->setObjectName(QStringLiteral("标签2"));
  m_label2->setGeometry(28, 52, 388, 24);

  m_multiLine = new QPlainTextEdit(this);
  m_multiLine->setObjectName(QStringLiteral("编辑框1"));
  m_multiLine->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_line = new QLineEdit(this);
  m_line->hide();
  SetEditGeometry(QRect(26, 80, 374, 110));

  m_save = new QPushButton(QStringLiteral("保存"), this);
  m_save->setObjectName(QStringLiteral("按钮_qr"));
  m_save->setGeometry(96, 206, 96, 40);
  m_cancel = new QPushButton(QStringLiteral("取消"), this);
  m_cancel->setObjectName(QStringLiteral("按钮qx"));
  m_cancel->setGeometry(248, 206, 96, 40);
  // Enter belongs to the edit box, not to a default button.
  for (QPushButton* button : {m_save, m_cancel}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void InputDialog::SetOneLine(bool oneLine) {
  m_oneLine = oneLine;
  // The design name goes with the form that is shown.
  m_line->setObjectName(oneLine ? QStringLiteral("编辑框1") : QString());
  m_multiLine->setObjectName(oneLine ? QString() : QStringLiteral("编辑框1"));
  m_line->setVisible(oneLine);
  m_multiLine->setVisible(!oneLine);
}

QWidget* InputDialog::Edit() const {
  if (m_oneLine) return m_line;
  return m_multiLine;
}

void InputDialog::SetEditGeometry(const QRect& geometry) {
  m_multiLine->setGeometry(geometry);
  m_line->setGeometry(geometry);
}

QRect InputDialog::EditGeometry() const { return Edit()->geometry(); }

QString InputDialog::Text() const {
  return m_oneLine ? m_line->text() : m_multiLine->toPlainText();
}

void InputDialog::SetText(const QString& text) {
  if (m_oneLine)
    m_line->setText(text);
  else
    m_multiLine->setPlainText(text);
}

void InputDialog::PutCaretAtEnd() {
  if (m_oneLine)
    m_line->end(false);
  else
    m_multiLine->moveCursor(QTextCursor::End);
}

void InputDialog::SaveAndClose() {
  m_saved = true;
  accept();
}

bool OpenInputDialog(MainWindow& window, const std::string& prompt, const InputDialogMode& mode) {
  InputDialogState& state = window.InputDialogRecord();
  state.prompt = prompt;
  state.mode = mode.number;

  InputDialog dialog(&window);
  window.libraries().Penumbrix(&dialog, "1");
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint,
                       window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  dialog.setFont(ToQFont(window.app().log.uiFont));

  // At most two lines: anything after a second line break is dropped.
  const std::string_view text = state.prompt;
  const std::size_t first = text.find("\r\n");
  dialog.Label1()->setText(ToQt(text.substr(0, first)));
  if (first != std::string_view::npos) {
    const std::string_view rest = text.substr(first + 2);
    dialog.Label2()->setText(ToQt(rest.substr(0, rest.find("\r\n"))));
  }

  if (mode.setUp) mode.setUp(dialog);
  QObject::connect(dialog.SaveButton(), &QPushButton::clicked, &dialog, [&dialog, &mode] {
    if (mode.save) mode.save(dialog);
  });
  dialog.PutCaretAtEnd();
  state.open = &dialog;
  ExecModal(dialog);
  state.open = nullptr;

  state.result = dialog.Saved();
  const bool result = state.result;
  state.result = false;
  return result;
}

}  // namespace tarnlow::ui

#include "ui/modal.h"

#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QString>

#include <utility>

#include "ui/qt_text.h"

namespace tarnlow::ui {

namespace {

std::function<void(const MessageRecord&)>& MessageAnswerer() {
  static std::function<void(const MessageRecord&)> answerer;
  return answerer;
}

std::function<void(QDialog&)>& DialogAnswerer() {
  static std::function<void(QDialog&)> answerer;
  return answerer;
}

std::function<void(QMenu&)>& MenuAnswerer() {
  static std::function<void(QMenu&)> answerer;
  return answerer;
}

}  // namespace

void ShowMessageBox(QWidget* owner, const std::string& text, const std::string& title,
                    MessageIcon icon) {
  if (const auto& answerer = MessageAnswerer()) {
    answerer(MessageRecord{text, title, icon});
    return;
  }
  QMessageBox box(
      icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::Information,
      ToQt(title), ToQtLines(text), QMessageBox::Ok, owner);
  box.exec();
}

int ExecModal(QDialog& dialog) {
  if (const auto& answerer = DialogAnswerer()) {
    dialog.setModal(true);
    answerer(dialog);
    return dialog.result();
  }
  return dialog.exec();
}

void ExecMenu(QMenu& menu, const QPoint& at) {
  if (const auto& answerer = MenuAnswerer()) {
    answerer(menu);
    return;
  }
  menu.exec(at);
}

void SetMessageAnswerer(std::function<void(const MessageRecord&)> answerer) {
  MessageAnswerer() = std::move(answerer);
}

void SetDialogAnswerer(std::function<void(QDialog&)> answerer) {
  DialogAnswerer() = std::move(answerer);
}

void SetMenuAnswerer(std::function<void(QMenu&)> answerer) { MenuAnswerer() = std::move(answerer); }

}  // namespace tarnlow::ui

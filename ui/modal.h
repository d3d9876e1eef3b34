#pragma once
// Message boxes and modal dialogs go through here, so that a test can answer
// them in place of the person and a GUI test never blocks on a window.

#include <functional>
#include <string>

#include "app/shell.h"

class QDialog;
class QMenu;
class QPoint;
class QWidget;

namespace tarnlow::ui {

// Shows a message box with one OK button, owned by `owner` (GBK text and
// title), and returns when it has been answered. UI thread only.
void ShowMessageBox(QWidget* owner, const std::string& text, const std::string& title,
                    MessageIcon icon);

// Runs a dialog that is set up and ready to show, modally; returns when it
// has closed, with its result code.
int ExecModal(QDialog& dialog);

// Opens a popup menu at a screen position and returns when it has closed;
// the chosen item's triggered signal does the work.
void ExecMenu(QMenu& menu, const QPoint& at);

// Test seams. While an answerer is set, every message box is handed to it
// (already recorded as shown) instead of the screen, and every modal dialog
// is handed to the dialog answerer, which must close it (accept, reject or
// click its buttons); ExecModal then returns the dialog's result. An empty
// function restores the screen. Every popup menu likewise goes to the menu
// answerer, which may trigger one of its items or none.
void SetMessageAnswerer(std::function<void(const MessageRecord&)> answerer);
void SetDialogAnswerer(std::function<void(QDialog&)> answerer);
void SetMenuAnswerer(std::function<void(QMenu&)> answerer);

}  // namespace tarnlow::ui

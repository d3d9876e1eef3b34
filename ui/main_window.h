#pragma once
// The main window: the controls of the window design at their design
// positions, rendered from the window model, with the user's edits written
// back into it. The UI thread only renders, writes edits and sets the
// cancel and close flags; the commands run on the command thread.

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/window_model.h"

class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QTimer;

namespace tarnlow {
struct App;
class CommandThread;
}  // namespace tarnlow

namespace tarnlow::ui {

class ChapterListModel;
class ClipboardWatcher;
class InputDialog;
class ListMenu;
class MainMenus;
class ModelFeed;
class RuntimeLibraries;
class StatusMenu;
class StatusPanel;

// The input dialog's record (its prompt, mode and whether the user saved),
// kept by the main window for as long as it lives; `open` is the dialog
// while it is open.
struct InputDialogState {
  std::string prompt;
  int mode = 0;
  bool result = false;
  QPointer<InputDialog> open;
};

// The viewer's record: the mode it last opened in, and the 1-based entry
// the chapter-text view shows (0 once 确定 closed it).
struct ViewerState {
  int mode = 0;
  int chapter = 0;
};

class MainWindow : public QMainWindow {
 public:
  // Builds the controls, hidden; rendering starts at once.
  MainWindow(App& app, CommandThread& commands, const RuntimeLibraries& libraries);
  ~MainWindow() override;

  App& app() { return m_app; }
  CommandThread& commands() { return m_commands; }
  const RuntimeLibraries& libraries() const { return m_libraries; }

  // The controls, for the parts of the program that bind further events.
  QLineEdit* BoxEdit(Box box) const { return m_boxes[static_cast<int>(box)]; }
  QListView* ListBox() const { return m_list; }
  StatusPanel* StatusBox() const { return m_status; }
  QPushButton* ExecuteButton() const { return m_execute; }
  QPushButton* CancelButton() const { return m_cancel; }
  QLabel* AddressLabel() const { return m_addressLabel; }
  QMenu* MainMenu() const;
  QMenu* HelpMenu() const;
  QAction* BatchAction() const;
  MainMenus& Menus() const { return *m_menus; }
  ClipboardWatcher& Watcher() const { return *m_watcher; }
  QTimer* ClipboardTimer() const { return m_clipboardTimer; }
  InputDialogState& InputDialogRecord() { return m_inputDialog; }
  ViewerState& ViewerRecord() { return m_viewer; }

  // A command (or the command thread) is running: the list commands, the
  // batch dialog and the clipboard watcher wait for it to end.
  bool CommandActive() const;

  // RunLog.uiFont on every label, edit box, button and the list box.
  void ApplyUiFont();

  // What a double click on a chapter opens (the chapter-text view), with
  // the 0-based index of the first selected entry.
  void SetChapterViewOpener(std::function<void(int)> opener);

  // Runs after every render, for the parts that render more of the model
  // (menu check marks).
  void AddRenderer(std::function<void(const ChangeSet&)> renderer);

  // Renders what the model announced so far without waiting for the posted
  // event.
  void FlushModel();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BindEvents();

  // The handlers of the design's events.
  void ExecuteClicked();
  void BoxEdited(Box box, const QString& text);
  void ListSelectionChanged();
  void ListDoubleClicked();

  // Rendering from the model's state (render.cpp).
  void Render(const ChangeSet& changes);
  void RenderBox(Box box);
  void RenderStatus();
  void RenderWholeList();
  void RenderListItems(const std::vector<int>& items);
  void RenderTopItem();
  void RenderButtons();
  void RenderOnTop();
  void RenderClipboardTimer();

  App& m_app;
  WindowModel& m_model;
  CommandThread& m_commands;
  const RuntimeLibraries& m_libraries;

  QWidget* m_container = nullptr;
  std::array<QLineEdit*, kBoxCount> m_boxes{};
  QLabel* m_addressLabel = nullptr;
  std::vector<QLabel*> m_labels;
  QListView* m_list = nullptr;
  ChapterListModel* m_listModel = nullptr;
  StatusPanel* m_status = nullptr;
  QPushButton* m_execute = nullptr;
  QPushButton* m_cancel = nullptr;
  QTimer* m_clipboardTimer = nullptr;

  // Set while the window applies the model's selection to the list view, so
  // that the view's own signal does not write it back.
  bool m_applyingSelection = false;
  std::function<void(int)> m_openChapterView;
  std::vector<std::function<void(const ChangeSet&)>> m_renderers;
  InputDialogState m_inputDialog;
  ViewerState m_viewer;
  std::unique_ptr<MainMenus> m_menus;
  std::unique_ptr<ListMenu> m_listMenu;
  std::unique_ptr<StatusMenu> m_statusMenu;
  std::unique_ptr<ClipboardWatcher> m_watcher;
  std::unique_ptr<ModelFeed> m_feed;
};

}  // namespace tarnlow::ui

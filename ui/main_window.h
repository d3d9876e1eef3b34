#pragma once
// The main window: the controls of the window design at their design
// positions, rendered from the window model, with the user's edits written
// back into it. The UI thread only renders, writes edits and sets the
// cancel and close flags; the commands run on the command thread.

#include <QMainWindow>

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
class ModelFeed;
class RuntimeLibraries;
class StatusPanel;

// The input dialog's record (its prompt, mode and whether the user saved),
// kept by the main window for as long as it lives.
struct InputDialogState {
  std::string prompt;
  int mode = 0;
  bool result = false;
};

class MainWindow : public QMainWindow {
 public:
  // Builds the controls, hidden; rendering starts at once.
  MainWindow(App& app, CommandThread& commands, const RuntimeLibraries& libraries);
  ~MainWindow() override;

  App& app() { return m_app; }
  const RuntimeLibraries& libraries() const { return m_libraries; }

  // The controls, for the parts of the program that bind further events.
  QLineEdit* BoxEdit(Box box) const { return m_boxes[static_cast<int>(box)]; }
  QListView* ListBox() const { return m_list; }
  StatusPanel* StatusBox() const { return m_status; }
  QPushButton* ExecuteButton() const { return m_execute; }
  QPushButton* CancelButton() const { return m_cancel; }
  QLabel* AddressLabel() const { return m_addressLabel; }
  QMenu* MainMenu() const { return m_mainMenu; }
  QMenu* HelpMenu() const { return m_helpMenu; }
  QAction* BatchAction() const { return m_batchAction; }
  QTimer* ClipboardTimer() const { return m_clipboardTimer; }
  InputDialogState& InputDialogRecord() { return m_inputDialog; }

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
  void BuildMenus();
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

  bool CommandActive() const;

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
  QMenu* m_mainMenu = nullptr;
  QMenu* m_helpMenu = nullptr;
  QAction* m_batchAction = nullptr;
  QAction* m_threadAction = nullptr;
  QTimer* m_clipboardTimer = nullptr;

  // Set while the window applies the model's selection to the list view, so
  // that the view's own signal does not write it back.
  bool m_applyingSelection = false;
  std::function<void(int)> m_openChapterView;
  std::vector<std::function<void(const ChangeSet&)>> m_renderers;
  InputDialogState m_inputDialog;
  std::unique_ptr<ModelFeed> m_feed;
};

}  // namespace tarnlow::ui

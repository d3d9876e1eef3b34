#pragma once
// The main window's menu bar: 菜单 and 帮助 in the order of the window
// design. Most items are option toggles whose check mark is the option
// (drawn from the window model); the radio groups mirror the run's file-name
// format and line mode. Every change is written to config.ini at once.

#include <array>
#include <vector>

#include "app/options.h"
#include "app/window_model.h"

class QAction;
class QActionGroup;
class QMenu;
class QString;

namespace tarnlow::ui {

class MainWindow;

class MainMenus {
 public:
  // Builds the menu bar on the window and binds the items.
  explicit MainMenus(MainWindow& window);

  QMenu* Menu() const { return m_menu; }
  QMenu* Help() const { return m_help; }
  QAction* BatchAction() const { return m_batch; }
  QAction* OptionAction(Option option) const { return m_options[static_cast<int>(option)]; }
  QAction* RadioAction(RadioGroup group, int item) const;
  // The item of a menu (or of its submenus) with this caption; null if none.
  static QAction* FindAction(const QMenu* menu, const QString& caption);

  // The radio groups' check marks as the run records have them; after the
  // settings are read.
  void ShowRadioChecks();

 private:
  QAction* AddToggle(QMenu* menu, const char* caption, Option option);
  void AddRadioGroup(QMenu* menu, RadioGroup group, const std::vector<const char*>& captions);
  void RenderOptions();

  MainWindow& m_window;
  QMenu* m_menu = nullptr;
  QMenu* m_help = nullptr;
  QAction* m_batch = nullptr;
  std::array<QAction*, kOptionCount> m_options{};
  std::array<std::vector<QAction*>, 2> m_radios;
};

}  // namespace tarnlow::ui

#pragma once
// The chapter list box's popup menu, opened by the right mouse button over
// the list once a contents run has finished (outside batch mode). The
// commands that edit the list are the engine's (commands/list_commands.h);
// the menu adds the clipboard, the browser and the viewers.

#include "ui/right_click_menu.h"

namespace tarnlow::ui {

class ListMenu : public RightClickMenu {
 public:
  // On the right button's press over the list, which leaves the selection
  // the items work on as it is.
  explicit ListMenu(MainWindow& window);

  void Fill(QMenu& menu) override;

 protected:
  bool Offered() const override;
};

}  // namespace tarnlow::ui

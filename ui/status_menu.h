#pragma once
// The status panel's popup menu, opened by releasing the right mouse button
// over the panel once a contents run has finished: the selected part of the
// page can be copied or put into one of the mark boxes or the save name.

#include "ui/right_click_menu.h"

namespace tarnlow::ui {

class StatusMenu : public RightClickMenu {
 public:
  // On the right button's release over the panel.
  explicit StatusMenu(MainWindow& window);

  void Fill(QMenu& menu) override;

 protected:
  bool Offered() const override;

 private:
  // Copies the selection through the clipboard into the box; whatever the
  // clipboard held before (text, a picture) is put back afterwards.
  void AddSelectionTo(int box);
};

}  // namespace tarnlow::ui

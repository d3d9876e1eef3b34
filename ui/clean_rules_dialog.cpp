#include "ui/clean_rules_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/app.h"
#include "app/files.h"
#include "chapters/clean_rules.h"
#include "text/codepage.h"
#include "ui/input_dialog.h"
#include "ui/main_window.h"
#include "ui/modal.h"
#include "ui/qt_text.h"

namespace tarnlow::ui {

namespace {

constexpr const char* kRulesFile = "cleantxt.list";

}  // namespace

const std::string& CleanRulesPrompt() {
  return Gbk<"输入想要清除的文本，可以使用正则。“// ”开头为注释">();
}

InputDialogMode CleanRulesMode(MainWindow& window) {
  App& app = window.app();
  InputDialogMode mode;
  mode.number = 1;
  mode.setUp = [&app](InputDialog& dialog) {
    // One prompt line: the box takes the second line's room and grows.
    dialog.Label2()->hide();
    QRect box = dialog.EditGeometry();
    box.translate(0, -28);
    box.setHeight(box.height() + 100);
    dialog.SetEditGeometry(box);
    const int buttonTop = box.bottom() + 1 + 10;
    for (QPushButton* button : {dialog.SaveButton(), dialog.CancelButton()})
      button->move(button->x(), buttonTop);
    dialog.resize(dialog.width(), buttonTop + 50);
    dialog.SetText(ToQtLines(ReadTextFile(app.programDir / kRulesFile)));
  };
  mode.save = [&app](InputDialog& dialog) {
    // Replaced whole through a temporary file: a failed write leaves the old
    // rules, and the dialog stays open so the edits are not lost with it.
    if (!ReplaceFile(app.programDir / kRulesFile, FromQtLines(dialog.Text()))) {
      ShowMessageBox(&dialog, Gbk<"cleantxt.list 保存失败，规则未改变！">(), Gbk<"提示">(),
                     MessageIcon::Exclamation);
      return;
    }
    LoadCleanRules(app);
    dialog.SaveAndClose();
  };
  return mode;
}

void EditCleanRules(MainWindow& window) {
  OpenInputDialog(window, CleanRulesPrompt(), CleanRulesMode(window));
}

}  // namespace tarnlow::ui

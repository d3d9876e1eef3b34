#include "ui/thread_count.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "app/app.h"
#include "text/codepage.h"
#include "text/text.h"
#include "ui/input_dialog.h"
#include "ui/libraries.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace tarnlow::ui {

namespace {

// The count a box content stands for: below 1 shows "1", above 10 shows
// "9"; 1 to 10 stay (10 can come from the settings, typing gives one digit).
void KeepCountInRange(QLineEdit& edit) {
  const long long count = SettingToInteger(FromQt(edit.text()));
  if (count < 1)
    edit.setText(QStringLiteral("1"));
  else if (count > 10)
    edit.setText(QStringLiteral("9"));
}

// The default count when the box holds no number.
constexpr int kDefaultThreads = 3;

}  // namespace

const std::string& ThreadCountPrompt() {
  return Gbk<"输入线程数，默认线程数为 3\r\n线程数范围 1 - 9，建议设置线程数为 2 - 5">();
}

InputDialogMode ThreadCountMode(MainWindow& window) {
  InputDialogMode mode;
  mode.number = 2;
  mode.setUp = [&window](InputDialog& dialog) {
    dialog.SetOneLine(true);
    QLineEdit* edit = dialog.OneLineEdit();
    window.libraries().MenuHide(edit);

    // The dialog shrinks around a one-line box.
    QRect box = dialog.EditGeometry();
    box.setWidth(box.width() - 100);
    box.setHeight(30);
    dialog.SetEditGeometry(box);
    dialog.resize(dialog.width() - 100, dialog.height());
    QPushButton* save = dialog.SaveButton();
    QPushButton* cancel = dialog.CancelButton();
    cancel->move(cancel->x() - 44, cancel->y());
    const int buttonTop = box.top() + 50;
    save->move(save->x(), buttonTop);
    cancel->move(cancel->x(), buttonTop);
    dialog.resize(dialog.width(), buttonTop + 60);

    // Typing gives at most one digit. Text put in by the program is not
    // cut: a count of 10 from the settings shows as "10".
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]?")), edit));
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { KeepCountInRange(*edit); });
    edit->setText(QString::number(window.app().state.threadCount.load()));
  };
  mode.save = [&window](InputDialog& dialog) {
    const auto count = static_cast<int>(SettingToInteger(FromQt(dialog.Text())));
    window.app().state.threadCount = count == 0 ? kDefaultThreads : count;
    dialog.SaveAndClose();
  };
  return mode;
}

void ChooseThreadCount(MainWindow& window) {
  if (!OpenInputDialog(window, ThreadCountPrompt(), ThreadCountMode(window))) return;
  App& app = window.app();
  app.settings.Write(keys::Thread, std::to_string(app.state.threadCount.load()));
}

}  // namespace tarnlow::ui

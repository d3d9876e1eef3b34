#include "ui/batch_dialog.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPushButton>

#include "app/app.h"
#include "commands/batch.h"
#include "commands/command_thread.h"
#include "text/codepage.h"
#include "ui/input_dialog.h"
#include "ui/main_window.h"
#include "ui/modal.h"
#include "ui/qt_text.h"

namespace tarnlow::ui {

namespace {

void Tip(MainWindow& window, const std::string& text) {
  ShowMessageBox(&window, text, Gbk<"提示">(), MessageIcon::Information);
}

// The right button released over 开始处理 stores the list without running it.
class SaveOnlyClick : public QObject {
 public:
  SaveOnlyClick(QPushButton* button, std::function<void()> save)
      : QObject(button), m_save(std::move(save)) {
    button->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
      m_save();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> m_save;
};

}  // namespace

const std::string& BatchPrompt() {
  return Gbk<
      "请输入网址，多个网址请换行！开始处理右键为保存（不执行）\r\n"
      "开始前，建议先对网址手动检查，如果取文本为空，那就没必要继续了">();
}

InputDialogMode BatchMode(MainWindow& window) {
  App& app = window.app();
  InputDialogMode mode;
  mode.number = 0;
  mode.setUp = [&app](InputDialog& dialog) {
    dialog.SaveButton()->setText(QStringLiteral("开始处理"));
    dialog.SetText(ToQtLines(BatchDialogText(app)));
    new SaveOnlyClick(dialog.SaveButton(),
                      [&app, &dialog] { AcceptBatchList(app, FromQtLines(dialog.Text()), false); });
  };
  mode.save = [&app](InputDialog& dialog) {
    AcceptBatchList(app, FromQtLines(dialog.Text()), true);
    dialog.SaveAndClose();
  };
  return mode;
}

void AddToBatchDialog(InputDialog& dialog, const std::string& address) {
  const QString line = ToQt(address);
  QString text = dialog.Text();
  if (text.split(QLatin1Char('\n')).contains(line)) return;
  if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
  dialog.SetText(text + line + QLatin1Char('\n'));
  dialog.PutCaretAtEnd();
}

void RunBatch(MainWindow& window) {
  App& app = window.app();
  if (window.CommandActive()) {
    Tip(window, Gbk<"任务处理中，请等待处理完毕！">());
    return;
  }
  app.batchTasks.clear();
  if (!OpenInputDialog(window, BatchPrompt(), BatchMode(window))) return;
  if (app.batchTasks.empty()) {
    Tip(window, Gbk<"任务无效！">());
    return;
  }
  if (!window.commands().Start([&app] { RunBatchTasks(app); }))
    Tip(window, Gbk<"任务处理中，请等待处理完毕！">());
}

}  // namespace tarnlow::ui

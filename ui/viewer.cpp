#include "ui/viewer.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <utility>

#include "app/app.h"
#include "commands/command_thread.h"
#include "commands/preview.h"
#include "text/codepage.h"
#include "ui/fonts.h"
#include "ui/libraries.h"
#include "ui/main_window.h"
#include "ui/modal.h"
#include "ui/qt_text.h"
#include "ui/status_panel.h"

namespace tarnlow::ui {

namespace {

constexpr QSize kDesign(335, 367);

const std::string& UpdateRecordText() {
  return Gbk<
      "\r\n版本：2.0803\r\n\r\n1、修复查看章节文本下一章，数组报错的问题\r\n\r\n\r\n\r\n"
      "更早版本：\r\n\r\n暂时没有记录">();
}

const std::string& ReadingText() { return Gbk<"\r\n 正在读取，请稍后... ">(); }

// The chapter-text view's own font: FontSize2 only when it is a size the
// view can show well.
constexpr int kSmallestSize2 = 7;
constexpr int kLargestSize2 = 14;

}  // namespace

Viewer::Viewer(MainWindow& window, ViewerMode mode)
    : QDialog(&window), m_window(window), m_mode(mode) {
  setObjectName(QStringLiteral("查看窗口"));
  setModal(true);
  resize(kDesign);

  m_heading = new QLabel(this);
  m_heading->setObjectName(QStringLiteral("标签_标题"));
  m_heading->setGeometry(0, 4, 336, 24);
  m_heading->setAlignment(Qt::AlignCenter);

  m_edit = new StatusPanel(this);
  m_edit->setObjectName(QStringLiteral("编辑框1"));
  m_edit->setGeometry(16, 33, 304, 272);
  m_edit->setFrameShape(QFrame::NoFrame);
  m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QPalette colours = m_edit->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Text, palette().color(group, QPalette::Text));
    colours.setColor(group, QPalette::Base, QColor(252, 252, 252));
  }
  m_edit->setPalette(colours);

  m_ok = new QPushButton(QStringLiteral("确定"), this);
  m_ok->setObjectName(QStringLiteral("按钮1"));
  m_ok->setGeometry(116, 313, 120, 48);
  m_next = new QPushButton(QStringLiteral("下一章"), this);
  m_next->setObjectName(QStringLiteral("按钮2"));
  m_next->setGeometry(88, 313, 120, 48);
  m_next->hide();
  for (QPushButton* button : {m_ok, m_next}) button->setAutoDefault(false);
  m_refresh = new QTimer(this);
  m_refresh->setObjectName(QStringLiteral("时钟_刷新显示日志"));

  window.libraries().Penumbrix(this, "1");
  setWindowFlag(Qt::WindowStaysOnTopHint, window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  const QFont font = ToQFont(window.app().log.uiFont);
  for (QWidget* control : std::initializer_list<QWidget*>{m_ok, m_next, m_edit, m_heading})
    control->setFont(font);

  connect(m_ok, &QPushButton::clicked, this, [this] {
    m_window.ViewerRecord().chapter = 0;
    accept();
  });
  connect(m_next, &QPushButton::clicked, this, [this] { ShowChapter(true); });
  connect(m_refresh, &QTimer::timeout, this, [this] { RefreshLog(); });

  switch (mode) {
    case ViewerMode::UpdateRecord:
      SetUpUpdateRecord();
      break;
    case ViewerMode::RunLog:
      SetUpRunLog();
      break;
    case ViewerMode::PageSource:
      SetUpPageSource();
      break;
    case ViewerMode::ChapterText:
      SetUpChapterText();
      break;
  }
}

Viewer::~Viewer() { StopFetch(); }

void Viewer::done(int result) {
  StopFetch();
  m_refresh->stop();
  QDialog::done(result);
}

void Viewer::Widen(int width, int height) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  setGeometry(screen.x() + (screen.width() - width) / 2,
              screen.y() + std::max(0, (screen.height() - height) / 2), width, height);
  m_heading->resize(width, m_heading->height());
}

void Viewer::ShowText(const std::string& gbk, bool caretToEnd) {
  m_edit->SetStatusText(ToQt(gbk), caretToEnd);
}

void Viewer::SetUpUpdateRecord() {
  ShowText(UpdateRecordText(), false);
  m_heading->setText(QStringLiteral("更新记录"));
  // It reads like a page: no caret, no menu.
  m_window.libraries().CursorHide(m_edit);
  m_window.libraries().MenuHide(m_edit);
}

void Viewer::SetUpRunLog() {
  Widen(600, height());
  m_ok->move(240, m_ok->y());
  m_edit->setGeometry(5, m_edit->y(), width() - 10, m_edit->height());
  m_edit->setFrameShape(QFrame::StyledPanel);
  m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_heading->setText(QStringLiteral("日志 （仅保留单次执行记录）"));
  m_shownLog = m_window.app().log.Text();
  ShowText(m_shownLog, false);
  m_refresh->start(static_cast<int>(m_window.app().settings.ReadInteger(keys::LogRefresh)));
}

void Viewer::RefreshLog() {
  // Only a change is shown, so the caret and the scroll position stay put
  // between changes.
  std::string log = m_window.app().log.Text();
  if (log == m_shownLog) return;
  m_shownLog = std::move(log);
  ShowText(m_shownLog.empty() ? Gbk<"无记录">() : m_shownLog, false);
}

void Viewer::SetUpPageSource() {
  Widen(500, height());
  m_ok->move(190, m_ok->y());
  m_edit->setGeometry(5, m_edit->y(), width() - 10, m_edit->height());
  m_edit->setFrameShape(QFrame::StyledPanel);
  m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_heading->setText(QStringLiteral("查看源码"));
  ShowText(ReadingText(), true);
  const std::string url = m_window.app().model.AddressLabel();
  StartFetch([url](const std::function<bool()>& stop) { return PageSourceText(url, stop); },
             [this](const std::string& page) { ShowText(page, false); });
}

void Viewer::SetUpChapterText() { ShowChapter(false); }

void Viewer::ShowChapter(bool next) {
  App& app = m_window.app();
  int& chapter = m_window.ViewerRecord().chapter;
  m_ok->setEnabled(false);
  m_next->setEnabled(false);
  if (next) {
    ++chapter;
  } else {
    chapter = app.model.ListFirstSelected() + 1;
    m_next->show();
    Widen(800, height() + 50);
    m_edit->setGeometry(10, m_edit->y(), width() - 20, m_edit->height() + 50);
    m_ok->move(width() / 2, m_ok->y() + 50);
    m_next->move(m_ok->x() + 200, m_next->y() + 50);
    UiFont font = app.log.uiFont;
    font.name = app.settings.Read(keys::FontName2);
    const long long size = app.settings.ReadInteger(keys::FontSize2);
    if (size >= kSmallestSize2 && size <= kLargestSize2) font.size = static_cast<int>(size);
    m_edit->setFont(ToQFont(font));
  }

  if (chapter < 1 || static_cast<std::size_t>(chapter) > app.chapters.Size()) {
    ChapterShown({});
    return;
  }
  const auto index = static_cast<std::size_t>(chapter - 1);
  m_heading->setText(QStringLiteral("预览 - ") + ToQt(app.chapters[index].title));
  ShowText(ReadingText(), true);
  // A text kept by an earlier preview or the chapter run shows at once.
  if (app.chapters.HasText(index)) {
    ChapterShown(app.chapters.Text(index));
    return;
  }
  StartFetch(
      [&app, index](const std::function<bool()>& stop) {
        return PreviewChapterText(app, index, stop);
      },
      [this](const std::string& text) { ChapterShown(text); });
}

void Viewer::ChapterShown(const std::string& text) {
  ShowText(text, false);
  m_ok->setEnabled(true);
  const int chapter = m_window.ViewerRecord().chapter;
  m_next->setEnabled(chapter >= 1 &&
                     static_cast<std::size_t>(chapter) < m_window.app().chapters.Size());
}

void Viewer::StartFetch(std::function<std::string(const std::function<bool()>&)> fetch,
                        std::function<void(const std::string&)> shown) {
  StopFetch();
  auto pending = std::make_shared<Fetch>();
  m_fetch = pending;
  // Called only while the viewer is there (stop not set).
  shown = [this, shown = std::move(shown)](const std::string& text) {
    m_fetch.reset();
    shown(text);
  };
  App& app = m_window.app();
  // The result comes back through the application object, which outlives
  // every window; `stop` tells it the viewer went in the meantime (it is set
  // and read on the UI thread, and read by the fetch to end early).
  const bool started = m_window.commands().Start([&app, pending, fetch, shown] {
    std::string text = fetch([&] { return pending->stop.load() || app.log.exitRequested.load(); });
    QMetaObject::invokeMethod(
        qApp,
        [pending, shown, text = std::move(text)] {
          if (!pending->stop) shown(text);
        },
        Qt::QueuedConnection);
  });
  if (!started) shown(Gbk<"\r\n 网络异常！">());
}

void Viewer::StopFetch() {
  if (m_fetch) m_fetch->stop = true;
  m_fetch.reset();
}

void OpenViewer(MainWindow& window, ViewerMode mode) {
  window.ViewerRecord().mode = static_cast<int>(mode);
  Viewer viewer(window, mode);
  ExecModal(viewer);
}

}  // namespace tarnlow::ui

#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>

#include <utility>

#include "app/app.h"
#include "commands/command_thread.h"
#include "commands/commands.h"
#include "ui/chapter_list_model.h"
#include "ui/clipboard_watcher.h"
#include "ui/fonts.h"
#include "ui/list_menu.h"
#include "ui/menus.h"
#include "ui/model_feed.h"
#include "ui/qt_text.h"
#include "ui/status_menu.h"
#include "ui/status_panel.h"
#include "ui/viewer.h"

namespace tarnlow::ui {

namespace {

// The window design: outer size and place, and the container that holds
// every control.
constexpr QRect kWindow(50, 50, 770, 525);
constexpr QSize kContainer(760, 496);

struct LabelDesign {
  const char* name;
  const char* caption;  // UTF-8
  QRect geometry;
};

constexpr LabelDesign kLabels[] = {
    {"标签1", "目录地址：", {6, 41, 90, 24}},      {"标签2", " 目录标记：", {6, 87, 90, 24}},
    {"标签3", "结束标记：", {225, 87, 100, 24}},   {"标签9", "章节标记：", {6, 137, 90, 24}},
    {"标签10", "结束标记：", {225, 137, 100, 24}}, {"标签4", "保存名称：", {6, 186, 90, 24}},
    {"标签6", "失败重试：", {6, 231, 90, 24}},     {"标签7", "次", {161, 231, 55, 24}},
    {"标签5", "重试间隔：", {6, 277, 90, 24}},     {"标签8", "毫秒", {161, 277, 55, 24}},
};

struct BoxDesign {
  Box box;
  const char* name;
  QRect geometry;
};

constexpr BoxDesign kBoxes[] = {
    {Box::Address, "编辑框_网址", {102, 41, 272, 24}},
    {Box::ListBegin, "编辑框_目录开始", {102, 87, 112, 24}},
    {Box::ListEnd, "编辑框_目录结束", {329, 87, 112, 24}},
    {Box::TextBegin, "编辑框_文本开始", {102, 137, 111, 24}},
    {Box::TextEnd, "编辑框_文本结束", {329, 137, 112, 24}},
    {Box::SaveName, "编辑框_书名", {102, 186, 338, 24}},
    {Box::Retry, "编辑框_重试", {102, 231, 48, 24}},
    {Box::DelayMs, "编辑框_毫秒", {102, 277, 48, 24}},
};

// The retry and milliseconds boxes take integers of at most five
// characters. A minus sign may be typed; the box's rule turns what is not
// positive into its floor.
constexpr int kNumberBoxLength = 5;

}  // namespace

MainWindow::MainWindow(App& app, CommandThread& commands, const RuntimeLibraries& libraries)
    : m_app(app), m_model(app.model), m_commands(commands), m_libraries(libraries) {
  BuildControls();
  m_menus = std::make_unique<MainMenus>(*this);
  BindEvents();
  m_listMenu = std::make_unique<ListMenu>(*this);
  m_statusMenu = std::make_unique<StatusMenu>(*this);
  m_watcher = std::make_unique<ClipboardWatcher>(*this);
  m_openChapterView = [this](int) { OpenViewer(*this, ViewerMode::ChapterText); };
  m_feed =
      std::make_unique<ModelFeed>(m_model, [this](const ChangeSet& changes) { Render(changes); });
}

MainWindow::~MainWindow() {
  // No render may run into controls that are going away.
  m_feed.reset();
}

QMenu* MainWindow::MainMenu() const { return m_menus->Menu(); }
QMenu* MainWindow::HelpMenu() const { return m_menus->Help(); }
QAction* MainWindow::BatchAction() const { return m_menus->BatchAction(); }

void MainWindow::BuildControls() {
  setObjectName(QStringLiteral("MainWindow"));
  move(kWindow.topLeft());
  setFixedSize(kWindow.size());

  auto* central = new QWidget(this);
  setCentralWidget(central);
  m_container = new QWidget(central);
  m_container->setObjectName(QStringLiteral("container"));
  m_container->setGeometry(QRect(QPoint(0, 0), kContainer));

  m_addressLabel = new QLabel(m_container);
  m_addressLabel->setObjectName(QStringLiteral("标签_网址"));
  m_addressLabel->setGeometry(96, 16, 640, 16);

  for (const LabelDesign& design : kLabels) {
    auto* label = new QLabel(QString::fromUtf8(design.caption), m_container);
    label->setObjectName(QString::fromUtf8(design.name));
    label->setGeometry(design.geometry);
    m_labels.push_back(label);
  }

  for (const BoxDesign& design : kBoxes) {
    auto* edit = new QLineEdit(m_container);
    edit->setObjectName(QString::fromUtf8(design.name));
    edit->setGeometry(design.geometry);
    m_boxes[static_cast<int>(design.box)] = edit;
  }
  for (Box box : {Box::Retry, Box::DelayMs}) {
    QLineEdit* edit = BoxEdit(box);
    edit->setMaxLength(kNumberBoxLength);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), edit));
  }

  m_cancel = new QPushButton(QStringLiteral("取消"), m_container);
  m_cancel->setObjectName(QStringLiteral("按钮_取消"));
  m_cancel->setGeometry(390, 41, 52, 24);
  m_cancel->setEnabled(false);

  m_listModel = new ChapterListModel(this);
  m_list = new QListView(m_container);
  m_list->setObjectName(QStringLiteral("列表框1"));
  m_list->setGeometry(456, 40, 280, 264);
  m_list->setModel(m_listModel);
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Every row has the same height: the view then lays out thousands of
  // rows without measuring each.
  m_list->setUniformItemSizes(true);

  m_execute = new QPushButton(m_container);
  m_execute->setObjectName(QStringLiteral("按钮_执行"));
  m_execute->setGeometry(232, 232, 208, 71);

  m_status = new StatusPanel(m_container);
  m_status->setObjectName(QStringLiteral("编辑框_输出"));
  m_status->setGeometry(32, 320, 704, 148);

  m_clipboardTimer = new QTimer(this);
  m_clipboardTimer->setObjectName(QStringLiteral("时钟_监视剪辑版"));
}

void MainWindow::BindEvents() {
  for (const BoxDesign& design : kBoxes) {
    const Box box = design.box;
    // textEdited, not textChanged: only what the user typed goes into the
    // model; what the window renders from it must not come back.
    connect(BoxEdit(box), &QLineEdit::textEdited, this,
            [this, box](const QString& text) { BoxEdited(box, text); });
  }
  connect(m_execute, &QPushButton::clicked, this, [this] { ExecuteClicked(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { CancelOrReset(m_app); });
  connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            if (m_applyingSelection) return;
            for (const QModelIndex& index : deselected.indexes())
              m_model.ListSelect(index.row(), false);
            for (const QModelIndex& index : selected.indexes())
              m_model.ListSelect(index.row(), true);
            ListSelectionChanged();
          });
  connect(m_list, &QListView::doubleClicked, this, [this] { ListDoubleClicked(); });
}

void MainWindow::ApplyUiFont() {
  const QFont font = ToQFont(m_app.log.uiFont);
  for (QLabel* label : m_labels) label->setFont(font);
  m_addressLabel->setFont(font);
  for (QLineEdit* edit : m_boxes) edit->setFont(font);
  m_execute->setFont(font);
  m_cancel->setFont(font);
  m_list->setFont(font);
  m_status->setFont(font);
}

void MainWindow::SetChapterViewOpener(std::function<void(int)> opener) {
  m_openChapterView = std::move(opener);
}

void MainWindow::AddRenderer(std::function<void(const ChangeSet&)> renderer) {
  m_renderers.push_back(std::move(renderer));
}

void MainWindow::FlushModel() { m_feed->Flush(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  // While a command runs this only asks it to end the process.
  if (QueryClose(m_app))
    event->accept();
  else
    event->ignore();
}

bool MainWindow::CommandActive() const { return m_app.state.busy || m_app.state.commandRunning; }

void MainWindow::ExecuteClicked() {
  // Refused while a command runs; the command itself disables the button.
  m_commands.Start([&app = m_app] { ExecuteCommand(app); });
}

void MainWindow::BoxEdited(Box box, const QString& text) {
  const std::string stored = m_model.SetBox(box, FromQt(text));
  // The box's rule changed what was typed (or a character GBK lacks became
  // "?"): show what the model keeps, the caret at its end.
  const QString shown = ToQt(stored);
  if (shown != text) BoxEdit(box)->setText(shown);
}

void MainWindow::ListSelectionChanged() {
  if (CommandActive()) return;
  const int first = m_model.ListFirstSelected();
  const auto& entries = m_app.chapters;
  if (first >= 0 && static_cast<std::size_t>(first) < entries.Size())
    m_model.SetAddressLabel(entries[static_cast<std::size_t>(first)].url);
  else
    m_model.SetAddressLabel("");
}

void MainWindow::ListDoubleClicked() {
  if (CommandActive()) return;
  const int first = m_model.ListFirstSelected();
  if (first < 0) {
    m_model.SetAddressLabel("");
    return;
  }
  if (m_openChapterView) m_openChapterView(first);
}

}  // namespace tarnlow::ui

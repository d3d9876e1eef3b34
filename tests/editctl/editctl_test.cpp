// libQuillet.so loaded as the program loads it: by path from the build's bin
// folder, its exports resolved by name, driving real edit controls.

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <dlfcn.h>

#include <memory>

#include "text/codepage.h"

namespace {

using ControlFunction = int (*)(void*);
using SetTipFunction = int (*)(void*, const char*);

void* const kAll = reinterpret_cast<void*>(-1);

enum class Kind { Line, Text, Plain };

QWidget* MakeControl(Kind kind, QWidget* parent) {
  switch (kind) {
    case Kind::Line:
      return new QLineEdit(parent);
    case Kind::Text:
      return new QTextEdit(parent);
    case Kind::Plain:
      return new QPlainTextEdit(parent);
  }
  return nullptr;
}

// Where a control draws its text: a scroll area's viewport, or the control.
QWidget* Surface(QWidget* control) {
  auto* area = qobject_cast<QAbstractScrollArea*>(control);
  return area ? area->viewport() : control;
}

// A shown, active window holding one control of each kind and a button to
// take the focus away. Each control counts the context menus it is asked for.
struct Window {
  QWidget window;
  QPushButton* focusSink;
  QWidget* controls[3];
  int menus[3] = {0, 0, 0};

  Window() {
    auto* layout = new QVBoxLayout(&window);
    for (int i = 0; i < 3; ++i) {
      controls[i] = MakeControl(static_cast<Kind>(i), &window);
      controls[i]->setContextMenuPolicy(Qt::CustomContextMenu);
      if (auto* line = qobject_cast<QLineEdit*>(controls[i])) line->setTextMargins(8, 0, 8, 0);
      QObject::connect(controls[i], &QWidget::customContextMenuRequested,
                       [this, i] { ++menus[i]; });
      layout->addWidget(controls[i]);
    }
    focusSink = new QPushButton(QStringLiteral("OK"), &window);
    layout->addWidget(focusSink);
    window.resize(300, 400);
    window.show();
    window.activateWindow();
  }

  bool Ready() { return QTest::qWaitForWindowActive(&window); }

  // A right click in the middle of the control, through the window system
  // as a user's click arrives, and then the menu key's request, which the
  // toolkit sends to the focus widget. Returns how many of the two asked the
  // control for a menu.
  int AskForMenus(int i) {
    const int before = menus[i];
    QWidget* surface = Surface(controls[i]);
    QTest::mouseClick(window.windowHandle(), Qt::RightButton, {},
                      surface->mapTo(&window, surface->rect().center()));
    controls[i]->setFocus();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(1, 1),
                              controls[i]->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(QApplication::focusWidget(), &menuKey);
    return menus[i] - before;
  }

  // What the control paints inside its frame, focused or not. A line edit
  // draws its focus frame on itself: its text (with a margin for that) is
  // cut out.
  QImage Grab(int i, bool focused) {
    if (focused) {
      controls[i]->setFocus();
    } else {
      focusSink->setFocus();
    }
    QWidget* surface = Surface(controls[i]);
    const int frame = surface == controls[i]
                          ? surface->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 3
                          : 0;
    return surface->grab(surface->rect().adjusted(frame, frame, -frame, -frame)).toImage();
  }
};

}  // namespace

class EditControlTest : public QObject {
  Q_OBJECT

 private:
  ControlFunction m_cursorHide = nullptr;
  ControlFunction m_menuHide = nullptr;
  ControlFunction m_menuShow = nullptr;
  SetTipFunction m_setTip = nullptr;

 private slots:
  void initTestCase() {
    void* library = dlopen(TARNLOW_TEST_BIN_DIR "/libQuillet.so", RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    m_cursorHide = reinterpret_cast<ControlFunction>(dlsym(library, "CursorHide"));
    m_menuHide = reinterpret_cast<ControlFunction>(dlsym(library, "MenuHide"));
    m_menuShow = reinterpret_cast<ControlFunction>(dlsym(library, "MenuShow"));
    m_setTip = reinterpret_cast<SetTipFunction>(dlsym(library, "SetTip"));
    QVERIFY(m_cursorHide && m_menuHide && m_menuShow && m_setTip);
  }

  void menuHideStopsContextMenusUntilMenuShow() {
    Window w;
    QVERIFY(w.Ready());
    QCOMPARE(m_menuShow(kAll), 0);  // empty list
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(w.AskForMenus(i), 2);  // a click and a key reach the control
      QCOMPARE(m_menuHide(w.controls[i]), 1);
      QCOMPARE(m_menuHide(w.controls[i]), 0);
      QCOMPARE(w.AskForMenus(i), 0);
    }
    QCOMPARE(m_menuShow(w.focusSink), 0);  // not in the list
    QCOMPARE(m_menuShow(w.controls[1]), 1);
    QCOMPARE(m_menuShow(w.controls[1]), 0);
    QCOMPARE(w.AskForMenus(1), 2);
    QCOMPARE(w.AskForMenus(0), 0);
    QCOMPARE(w.AskForMenus(2), 0);
    // Hidden again, then all three restored at once.
    QCOMPARE(m_menuHide(w.controls[1]), 1);
    QCOMPARE(m_menuShow(kAll), 1);
    QCOMPARE(m_menuShow(kAll), 0);
    for (int i = 0; i < 3; ++i) QCOMPARE(w.AskForMenus(i), 2);
    QCOMPARE(m_menuShow(w.controls[0]), 0);
  }

  void rejectsWhatIsNotALiveWidgetOfThisThread() {
    m_menuShow(kAll);  // whatever earlier tests left
    QObject notAWidget;
    auto gone = std::make_unique<QLineEdit>();
    void* goneHandle = gone.get();
    gone.reset();
    for (void* handle :
         {static_cast<void*>(nullptr), static_cast<void*>(&notAWidget), goneHandle}) {
      QCOMPARE(m_menuHide(handle), 0);
      QCOMPARE(m_cursorHide(handle), 0);
      QCOMPARE(m_setTip(handle, "x"), 0);
    }
    QPushButton button;
    QCOMPARE(m_cursorHide(&button), 0);   // no caret to hide
    QCOMPARE(m_setTip(&button, "x"), 0);  // no hint text
    QLineEdit edit;
    int fromOtherThread = -1;
    std::thread([&] { fromOtherThread = m_menuHide(&edit); }).join();
    QCOMPARE(fromOtherThread, 0);
    QCOMPARE(m_menuShow(kAll), 0);  // nothing was added
  }

  void cursorHideLeavesNoVisibleCaret_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("QLineEdit") << 0;
    QTest::newRow("QTextEdit") << 1;
    QTest::newRow("QPlainTextEdit") << 2;
  }

  // A focused control differs from the same control unfocused only by its
  // caret (the focus frame lies outside the drawing surface).
  void cursorHideLeavesNoVisibleCaret() {
    QFETCH(int, index);
    Window w;
    QVERIFY(w.Ready());
    const QImage withCaret = w.Grab(index, true);
    QVERIFY(withCaret != w.Grab(index, false));  // the caret shows

    QCOMPARE(m_cursorHide(w.controls[index]), 1);
    QCOMPARE(m_cursorHide(w.controls[index]), 0);
    const QImage focused = w.Grab(index, true);
    QCOMPARE(focused, w.Grab(index, false));

    // Typing, clicking and focusing again bring no caret back.
    w.controls[index]->setFocus();
    QTest::keyClicks(w.controls[index], QStringLiteral("abc  "));
    QTest::mouseClick(Surface(w.controls[index]), Qt::LeftButton, {}, QPoint(2, 2));
    QTest::keyClick(w.controls[index], Qt::Key_End);
    const QImage typed = w.Grab(index, true);
    QCOMPARE(typed, w.Grab(index, false));

    // Nor does another style for a line edit or another document for a
    // text edit, each of which brings the toolkit's caret width back.
    QWidget* control = w.controls[index];
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
      line->setStyle(QApplication::style());
    } else if (auto* text = qobject_cast<QTextEdit*>(control)) {
      text->setDocument(new QTextDocument(QStringLiteral("abc"), text));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
      auto* document = new QTextDocument(QStringLiteral("abc"), plain);
      document->setDocumentLayout(new QPlainTextDocumentLayout(document));
      plain->setDocument(document);
    }
    const QImage replaced = w.Grab(index, true);
    QCOMPARE(replaced, w.Grab(index, false));
  }

  void setTipSetsGbkHintText() {
    Window w;
    const std::string tip = tarnlow::Gbk<"请输入目录页网址">();
    for (QWidget* control : w.controls) {
      QCOMPARE(m_setTip(control, tip.c_str()), 1);
      QCOMPARE(control->property("placeholderText").toString(), QStringLiteral("请输入目录页网址"));
      QCOMPARE(m_setTip(control, nullptr), 1);
      QCOMPARE(control->property("placeholderText").toString(), QString());
    }
    // A byte that starts a GBK character but ends the text decodes to U+FFFD.
    QCOMPARE(m_setTip(w.controls[0], "ab\x81"), 1);
    QCOMPARE(w.controls[0]->property("placeholderText").toString(), QStringLiteral("ab\uFFFD"));
  }
};

QTEST_MAIN(EditControlTest)
#include "editctl_test.moc"

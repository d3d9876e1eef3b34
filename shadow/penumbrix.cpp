// libPenumbrix.so: gives a top-level window a soft drop shadow with a
// one-pixel coloured frame. The shadow is a second window owned by the first;
// an event filter on the owner moves, resizes, shows and hides it.

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QThread>
#include <QVariant>
#include <QWidget>

#include <string_view>

#include "shadow/owner_registry.h"
#include "shadow/shadow_picture.h"
#include "shadow/shadow_window.h"
#include "shadow/translucency.h"

namespace penumbrix {
namespace {

// Dynamic properties, as other code may look for them.
constexpr char kShadowProperty[] = "Zephloom.WndShadow";       // on the owner: its shadow
constexpr char kFilterProperty[] = "Zephloom.WndShadow.Proc";  // on the owner: its filter
constexpr char kSizeProperty[] = "Zephloom.WndShadow.Size";    // on the shadow: width per side
constexpr int kShadowSize = 15;

OwnerRegistry& Registry() {
  // Made on first use and kept for the life of the process: the filters that
  // read it stay installed as long as their windows live.
  static auto* registry = new OwnerRegistry;
  return *registry;
}

// The widget behind a handle, when it is a live top-level widget of this
// process and the caller is on the thread that owns the widgets. The handle
// is compared with the live widgets before it is used, never dereferenced.
QWidget* LiveTopLevel(void* handle) {
  if (!handle || !qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
  if (QThread::currentThread() != QCoreApplication::instance()->thread()) return nullptr;
  const QWidgetList widgets = QApplication::allWidgets();
  auto* widget = static_cast<QWidget*>(handle);
  if (!widgets.contains(widget) || !widget->isWindow()) return nullptr;
  return widget;
}

// The owner's shadow, if it still exists: the property holds a plain
// pointer, trusted only while it is one of the owner's children.
ShadowWindow* ShadowOf(QWidget* owner) {
  QObject* stored = owner->property(kShadowProperty).value<QObject*>();
  if (!stored || !owner->children().contains(stored)) return nullptr;
  return qobject_cast<ShadowWindow*>(stored);
}

int ShadowSize(const ShadowWindow* shadow) {
  bool ok = false;
  const int size = shadow->property(kSizeProperty).toInt(&ok);
  return ok && size >= 0 ? size : kShadowSize;
}

// Positions, redraws, shows or hides owner's shadow.
void UpdateShadow(QWidget* owner, bool visible) {
  ShadowWindow* shadow = ShadowOf(owner);
  if (!shadow) return;
  if (!visible || owner->windowState().testAnyFlags(Qt::WindowMaximized | Qt::WindowMinimized |
                                                    Qt::WindowFullScreen)) {
    shadow->hide();
    return;
  }
  const QRect frame = owner->frameGeometry();
  // A window with no area leaves its shadow as it was.
  if (frame.width() <= 0 || frame.height() <= 0) return;
  const int s = ShadowSize(shadow);
  const QRect area = frame.adjusted(-s, -s, s, s);
  const std::optional<std::string> style = Registry().StyleOf(owner);
  // Redrawn from the image bytes every time: a style naming a file follows
  // the file.
  shadow->SetPicture(DrawShadowPicture(style ? StyleImageBytes(*style) : QByteArray(), area.size()),
                     TranslucencyAvailable());
  shadow->setGeometry(area);
  if (!shadow->isVisible()) shadow->show();
}

class OwnerFilter : public QObject {
 public:
  explicit OwnerFilter(QWidget* owner) : QObject(owner), m_owner(owner) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != m_owner) return false;
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::WindowStateChange:
        UpdateShadow(m_owner, m_owner->isVisible());
        break;
      default:
        break;
    }
    return false;
  }

 private:
  QWidget* m_owner;  // the parent: outlives this filter
};

int Attach(QWidget* owner, std::string_view style) {
  // Wayland does not let a window place another one: the shadow could not
  // follow its owner.
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return 0;
  if (!Registry().Register(owner, style)) {
    UpdateShadow(owner, owner->isVisible());
    return 1;
  }
  ShadowWindow* shadow = ShadowOf(owner);
  if (!shadow) {
    shadow = new ShadowWindow(owner);
    owner->setProperty(kShadowProperty, QVariant::fromValue<QObject*>(shadow));
  }
  shadow->setProperty(kSizeProperty, kShadowSize);
  UpdateShadow(owner, owner->isVisible());
  // One filter per owner, however often it is given a shadow.
  if (!owner->property(kFilterProperty).isValid()) {
    auto* filter = new OwnerFilter(owner);
    owner->installEventFilter(filter);
    owner->setProperty(kFilterProperty, QVariant::fromValue<QObject*>(filter));
  }
  return 1;
}

}  // namespace
}  // namespace penumbrix

// owner: a top-level QWidget*. style: "2" for the orange frame, the path of
// an image file for that image, anything else (null included) for the blue
// frame. Returns 1 when the window has its shadow, 0 when owner is not a
// live top-level widget of this process or the call is not made on its
// thread.
extern "C" __attribute__((visibility("default"))) int Penumbrix(void* owner, const char* style) {
  QWidget* window = penumbrix::LiveTopLevel(owner);
  if (!window) return 0;
  return penumbrix::Attach(window, style ? std::string_view(style) : std::string_view());
}

#include "shadow/translucency.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

#include <cstdlib>
#include <string>

#include <xcb/xcb.h>

namespace penumbrix {
namespace {

// A compositing manager announces itself by owning the selection
// "_NET_WM_CM_S<screen>" of the screen it composes.
bool CompositorOwnsSelection(xcb_connection_t* connection, int screen) {
  const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.c_str()),
      nullptr);
  if (!atom) return false;
  const xcb_atom_t selection = atom->atom;
  std::free(atom);
  if (selection == XCB_ATOM_NONE) return false;  // never interned: nobody owns it
  xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, selection), nullptr);
  if (!owner) return false;
  const bool owned = owner->owner != XCB_WINDOW_NONE;
  std::free(owner);
  return owned;
}

}  // namespace

bool TranslucencyAvailable() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  // Other platforms (Wayland, offscreen, other systems) always blend.
  if (!x11 || !x11->connection()) return true;
  xcb_connection_t* connection = x11->connection();
  const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
  for (int screen = 0; screen < screens; ++screen) {
    if (CompositorOwnsSelection(connection, screen)) return true;
  }
  return false;
}

}  // namespace penumbrix

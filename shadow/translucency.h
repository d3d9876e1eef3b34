#pragma once
// Whether the display can blend a window's per-pixel alpha with what lies
// beneath it. An X11 display does so only while a compositing manager runs;
// without one a translucent window's see-through pixels show as black.

namespace penumbrix {

bool TranslucencyAvailable();

}  // namespace penumbrix

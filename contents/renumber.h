#pragma once

namespace tarnlow {

struct App;

// Rewrites every title as "第" + list position + "章 " + the rest, dropping a
// chapter number the site put at the front, then refills the list box.
void RenumberTitles(App& app);

}  // namespace tarnlow

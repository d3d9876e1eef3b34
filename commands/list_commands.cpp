#include "commands/list_commands.h"

#include <algorithm>
#include <vector>

#include "app/app.h"
#include "contents/links.h"
#include "contents/renumber.h"
#include "contents/url.h"

namespace tarnlow {

namespace {

void ShowTitles(App& app) {
  std::vector<std::string> titles;
  titles.reserve(app.chapters.Size());
  for (const ChapterEntry& entry : app.chapters.Entries()) titles.push_back(entry.title);
  app.model.ListSetAll(std::move(titles));
}

// The entries for which `remove` holds leave the list and the list box; an
// emptied list returns the window to idle.
template <class Predicate>
void RemoveEntries(App& app, Predicate remove) {
  std::vector<ChapterEntry>& entries = app.chapters.Entries();
  std::vector<ChapterEntry> kept;
  kept.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!remove(i, entries[i])) kept.push_back(std::move(entries[i]));
  }
  entries = std::move(kept);
  if (entries.empty()) {
    ResetMainWindow(app);
  } else {
    ShowTitles(app);
  }
  app.model.SetAddressLabel("");
}

}  // namespace

bool ListMenuOffered(const App& app) {
  return !app.state.busy && !app.state.commandRunning && !app.state.batchMode &&
         app.model.ExecuteEnabled() && app.model.ExecuteCaption() == CaptionChapters();
}

bool ListMenuItemEnabled(const App& app, ListMenuItem item) {
  if (item == ListMenuItem::Reverse) return true;
  if (app.chapters.Empty()) return false;
  switch (item) {
    case ListMenuItem::Renumber:
      return !app.state.numberingFormatted;
    case ListMenuItem::ClearList:
      return true;
    case ListMenuItem::CleanDubious:
      return !app.state.dubiousCleaned;
    default:
      return app.model.ListFirstSelected() >= 0;
  }
}

void ReverseList(App& app) {
  std::vector<ChapterEntry>& entries = app.chapters.Entries();
  std::reverse(entries.begin(), entries.end());
  ShowTitles(app);
}

void DeleteSelectedEntries(App& app) {
  const std::vector<int> selected = app.model.SelectedItems();
  if (selected.empty()) return;
  RemoveEntries(app, [&](std::size_t index, const ChapterEntry&) {
    return std::binary_search(selected.begin(), selected.end(), static_cast<int>(index));
  });
}

std::string SelectedTitles(const App& app) {
  const std::vector<ListItem> items = app.model.ListSnapshot();
  std::string text;
  for (auto item = items.rbegin(); item != items.rend(); ++item) {
    if (item->selected) text += item->text + "\r\n";
  }
  return text;
}

void RemoveRelatedLinks(App& app) {
  const int first = app.model.ListFirstSelected();
  if (first < 0 || static_cast<std::size_t>(first) >= app.chapters.Size()) return;
  const std::string folder = DirectoryPath(app.chapters[static_cast<std::size_t>(first)].url);
  RemoveEntries(app, [&](std::size_t, const ChapterEntry& entry) {
    return DirectoryPath(entry.url) == folder;
  });
}

void CleanDubiousEntries(App& app) {
  app.state.dubiousCleaned = true;
  CleanDubiousLinks(app.chapters.Entries(), app.settings.Read(keys::Keyword));
  ShowTitles(app);
  app.model.SetAddressLabel("");
}

void RenumberEntries(App& app) {
  app.state.numberingFormatted = true;
  RenumberTitles(app.chapters.Entries());
  ShowTitles(app);
}

}  // namespace tarnlow

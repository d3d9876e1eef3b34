#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/records.h"

namespace tarnlow {

struct App;

struct [[nodiscard]] SaveResult {
  bool saved = false;
  std::filesystem::path path;  // the file written (saved) or tried
  int error = 0;               // errno of the step that failed (not saved)
};

// Writes the chapters as one book file (GBK, each chapter its title, CR LF,
// its text, CR LF) into `folder` under `saveName`, never over an existing
// file. Saved only when the whole file was written; a partial file goes.
SaveResult SaveBook(const std::filesystem::path& folder, const std::string& saveName,
                    const std::vector<ChapterEntry>& chapters);

// The end of a chapter run: saves the chapter list under the save-name box
// (未命名 when empty) into the download folder, and logs the result or shows
// why it failed (a log line instead in batch mode). True when saved.
bool SaveChapterList(App& app);

// Where the book of `saveName` would go: `base`.txt, or the first free
// `base`_i.txt. Exposed for tests.
std::filesystem::path FreeBookPath(const std::filesystem::path& folder,
                                   const std::string& saveName);

}  // namespace tarnlow

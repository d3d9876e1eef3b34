#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/app.h"
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
// why it failed (a log line instead in batch mode). True when saved. Fills
// app.lastRun; with app.rescueUnsavedBooks a book that could not be saved
// goes to a temporary file in the program directory. With Resume on, a saved
// book gets its record (book_record.h) beside it.
bool SaveChapterList(App& app);

// The chapters of the run that got no usable page, 1-based, with their titles.
std::vector<FailedChapter> FailedChapters(const App& app);

// `saveName` (GBK) as the start of a file name in `folder`: control
// characters dropped, and cut at a character boundary so that it, followed by
// `tailBytes` more (a "_i" suffix and ".txt"), fits the file system's limit
// on a name once written as a file name.
std::string FitSaveName(std::string_view saveName, const std::filesystem::path& folder,
                        std::size_t tailBytes);

// Why `folder` cannot take a book, naming the folder (GBK); empty when it
// can: it exists, is a folder, and this process may create files in it.
std::string SaveFolderProblem(const std::filesystem::path& folder);

// Before a chapter run fetches anything: fits the save name (the box then
// shows the name the file gets) and checks the download folder. When the
// folder cannot take the book, says so (a message box, or a log line in batch
// mode) and returns false.
bool PrepareSave(App& app);

// Writes the chapters as a book into a new file of its own in `dir`; the
// file's path, or the empty path when that fails too.
std::filesystem::path SaveBookToTemporary(const std::filesystem::path& dir,
                                          const std::vector<ChapterEntry>& chapters);

// Where the book of `saveName` would go: `base`.txt, or the first free
// `base`_i.txt. Exposed for tests.
std::filesystem::path FreeBookPath(const std::filesystem::path& folder,
                                   const std::string& saveName);

}  // namespace tarnlow

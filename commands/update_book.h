#pragma once
// Bringing a saved book up to date: the contents are fetched again with the
// address, marks and options of the book's record, the chapters whose
// addresses are new are fetched, and the book is replaced by the old text
// followed by theirs only when every new chapter arrived. Runs on the command
// thread, like the execute button.

#include <filesystem>
#include <vector>

#include "app/app.h"

namespace tarnlow {

struct UpdateResult {
  enum class Outcome {
    Updated,     // new chapters were added to the book
    NothingNew,  // the contents hold no chapter the book lacks; the book is untouched
    NoRecord,    // the book has no readable record beside it
    NoContents,  // the contents could not be read; the book is untouched
    NotUpdated,  // some new chapter failed, or the book could not be replaced: untouched
    Cancelled,   // cancelled, or the window closed
  };
  Outcome outcome = Outcome::NotUpdated;
  int added = 0;                      // Updated: chapters added
  std::vector<FailedChapter> failed;  // NotUpdated: the new chapters without text
};

// The boxes, options and run settings the window had stay as they were
// afterwards. Tells the person the outcome with a message box.
UpdateResult UpdateBook(App& app, const std::filesystem::path& book);

}  // namespace tarnlow

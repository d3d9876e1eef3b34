#pragma once

#include <filesystem>
#include <string>

namespace tarnlow {

struct App;

// Writes the chapter list as one book file (GBK, each chapter its title, CR
// LF, its text, CR LF) into the download folder under the save name, never
// over an existing file. True when the whole file was written.
bool SaveBook(App& app);

// Where the book of `saveName` would go: `base`.txt, or the first free
// `base`_i.txt. Exposed for tests.
std::filesystem::path FreeBookPath(const std::filesystem::path& folder,
                                   const std::string& saveName);

}  // namespace tarnlow

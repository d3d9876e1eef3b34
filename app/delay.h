#pragma once
// Waits go through the Delay export of libDelay.so, bound by name at run time
// from the program's own folder.

#include <filesystem>

namespace tarnlow {

// Binds Delay from `dir`/libDelay.so. Returns false when the library or its
// export is missing; Delay then sleeps on its own.
bool BindDelayLibrary(const std::filesystem::path& dir);
bool DelayLibraryBound();

// Returns after about `milliseconds` on the calling thread.
void Delay(int milliseconds);

}  // namespace tarnlow

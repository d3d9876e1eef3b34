#pragma once
// Waits go through the Delay export of libDelay.so, bound by name at run time
// from the program's own folder.

#include <filesystem>
#include <functional>

namespace tarnlow {

// Binds Delay from `dir`/libDelay.so. Returns false when the library or its
// export is missing; Delay then sleeps on its own.
bool BindDelayLibrary(const std::filesystem::path& dir);
bool DelayLibraryBound();

// Returns after about `milliseconds` on the calling thread.
void Delay(int milliseconds);

// The waits of the commands and their workers: `milliseconds` through Delay,
// in slices of at most 50 ms, ending early once `stop` says so (a cancel or a
// close). True when the whole time passed.
bool WaitUnlessStopped(int milliseconds, const std::function<bool()>& stop);

}  // namespace tarnlow

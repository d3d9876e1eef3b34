#pragma once
// Small file helpers shared by the settings store, the run log, the clean
// rules and the book writer.

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnlow {

// The whole file as text: it ends at the first zero byte. A missing or
// unreadable file gives the empty text.
std::string ReadTextFile(const std::filesystem::path& path);

// Writes every byte to `fd`, resuming after interrupted or short writes;
// false on any failure (full disk, I/O error).
bool WriteAll(int fd, std::string_view bytes);

// Writes a sibling temporary file and renames it over `path`, so a crash or
// a full disk leaves either the old file or the new one, never half of one.
// False when the new file could not be put in place.
bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tarnlow

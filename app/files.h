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

}  // namespace tarnlow

#pragma once
// Small file helpers shared by the settings store, the run log, the clean
// rules and the book writer.

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnlow {

// What reading one of the user's files came to. Never an exception: a folder
// in the file's place, a file without read permission and one that vanishes
// while it is read all end here.
struct FileBytes {
  enum class State {
    Read,     // `bytes` holds the whole file
    Missing,  // no such file (or it vanished before it was opened)
    Failed,   // there, but not readable as a file: `error` says why
  };
  State state = State::Missing;
  std::string bytes;
  int error = 0;  // errno of the step that failed
};
FileBytes ReadFileBytes(const std::filesystem::path& path);

// The whole file as text: it ends at the first zero byte. A missing or
// unreadable file gives the empty text.
std::string ReadTextFile(const std::filesystem::path& path);

// Why a file operation failed, for the user (GBK): "是一个文件夹" and the
// like, or the error code.
std::string ErrorText(int error);

// The line that tells the user a file of the program directory could not be
// read and counts as missing (GBK): its name and why.
std::string UnreadableFileNotice(std::string_view fileName, int error);

// Writes every byte to `fd`, resuming after interrupted or short writes;
// false on any failure (full disk, I/O error).
bool WriteAll(int fd, std::string_view bytes);

// Writes a sibling temporary file and renames it over `path`, so a crash or
// a full disk leaves either the old file or the new one, never half of one.
// False when the new file could not be put in place.
bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tarnlow

#include "app/program_dir.h"

#include <system_error>

#include "text/codepage.h"

namespace tarnlow {

std::filesystem::path ExecutableDir() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error && exe.has_parent_path()) return exe.parent_path();
  // Without /proc the working folder is the best guess left.
  std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::filesystem::path(".") : current;
}

std::filesystem::path ProgramDir(const std::filesystem::path& home) {
  return home.empty() ? ExecutableDir() : home;
}

// File names on Linux are UTF-8 bytes.
std::filesystem::path GbkToPath(std::string_view gbk) {
  return std::filesystem::path(GbkToUtf8(gbk));
}

std::string PathToGbk(const std::filesystem::path& path) { return Utf8ToAnsi(path.string()); }

}  // namespace tarnlow

#include "app/program_dir.h"

#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "text/codepage.h"

namespace tarnlow {

namespace fs = std::filesystem;

namespace {

// Put beside the executables by the install rules: an installed copy keeps
// its user files in the user data folder even where its user may write (root
// on /usr, a prefix in the home folder).
constexpr const char* kInstalledMarker = "installed-copy";

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

fs::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); IsAbsolute(home)) return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      IsAbsolute(found->pw_dir)) {
    return found->pw_dir;
  }
  return {};
}

bool IsWritableDir(const fs::path& dir) {
  // access() also refuses a read-only file system, for root as well.
  if (::access(dir.c_str(), W_OK | X_OK) != 0) return false;
  if (::geteuid() != 0) return true;
  // Root writes past the permission bits: a folder that grants nobody write
  // was made read-only on purpose.
  struct stat info {};
  return ::stat(dir.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Missing folders on the way are private to the user, as the XDG rules ask.
bool MakeFolders(const fs::path& dir) {
  fs::path sofar;
  for (const fs::path& part : dir) {
    sofar /= part;
    if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return fs::is_directory(dir);
}

// Fills a fresh folder under a temporary name and renames it into place, so
// that a second program starting at the same moment sees either no folder or
// a complete one. A failure leaves nothing behind and is tried again at the
// next start.
void CreateUserDataDir(const fs::path& dir, const fs::path& shippedRules) {
  if (!MakeFolders(dir.parent_path())) return;
  std::string pattern = (dir.parent_path() / (dir.filename().string() + ".new-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return;
  const fs::path fresh = pattern;
  std::error_code error;
  bool complete = fs::create_directory(fresh / "Download", error);
  // A copy without the shipped rule file runs without rules, as it would
  // beside the executable.
  if (complete && fs::exists(shippedRules, error)) {
    complete = fs::copy_file(shippedRules, fresh / "cleantxt.list", error);
  }
  if (!complete || ::rename(fresh.c_str(), dir.c_str()) != 0) fs::remove_all(fresh, error);
}

}  // namespace

fs::path ExecutableDir() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (!error && exe.has_parent_path()) return exe.parent_path();
  // Without /proc the working folder is the best guess left.
  fs::path current = fs::current_path(error);
  return error ? fs::path(".") : current;
}

fs::path UserDataDir() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); IsAbsolute(data)) {
    return fs::path(data) / "tarnlow";
  }
  const fs::path home = HomeFolder();
  return home.empty() ? fs::path() : home / ".local" / "share" / "tarnlow";
}

fs::path ProgramDir(const fs::path& home, const fs::path& exeDir) {
  if (!home.empty()) return home;
  std::error_code error;
  if (IsWritableDir(exeDir) && !fs::exists(exeDir / kInstalledMarker, error)) return exeDir;
  const fs::path user = UserDataDir();
  // No home folder at all: the executable's folder, where writes fail as
  // they would have anyway.
  if (user.empty()) return exeDir;
  if (!fs::exists(fs::symlink_status(user, error))) {
    CreateUserDataDir(user, exeDir / "cleantxt.list");
  }
  return user;
}

// File names on Linux are UTF-8 bytes.
fs::path GbkToPath(std::string_view gbk) { return fs::path(GbkToUtf8(gbk)); }

std::string PathToGbk(const fs::path& path) { return Utf8ToAnsi(path.string()); }

}  // namespace tarnlow

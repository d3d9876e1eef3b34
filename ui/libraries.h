#pragma once
// The two window libraries and the delay library, found beside the program
// and bound by name at run time. Before any export is used the window checks
// that the three files are there; a file that is there but cannot be loaded,
// or lacks an export, counts as missing too: calling into it would crash.

#include <array>
#include <filesystem>
#include <string>
#include <vector>

class QWidget;

namespace tarnlow::ui {

// The files, in the order start-up checks them.
inline constexpr std::array<const char*, 3> kLibraryFiles = {"libPenumbrix.so", "libQuillet.so",
                                                             "libDelay.so"};

class RuntimeLibraries {
 public:
  // The files of kLibraryFiles not present in `dir`, in that order.
  static std::vector<std::string> MissingFiles(const std::filesystem::path& dir);

  // Loads every library from `dir` and binds its exports. Returns the files
  // that could not be loaded or lack an export, in check order; empty when
  // all are bound. Libraries stay loaded for the life of the process: their
  // filters and windows keep running their code.
  std::vector<std::string> Bind(const std::filesystem::path& dir);

  // The exports; each returns 0 (and does nothing) while unbound.
  int Penumbrix(QWidget* owner, const char* style) const;
  int MenuHide(QWidget* edit) const;
  int MenuShow(QWidget* edit) const;
  int CursorHide(QWidget* edit) const;
  int SetTip(QWidget* edit, const char* gbkText) const;

 private:
  using StyleFunction = int (*)(void*, const char*);
  using EditFunction = int (*)(void*);

  StyleFunction m_penumbrix = nullptr;
  EditFunction m_menuHide = nullptr;
  EditFunction m_menuShow = nullptr;
  EditFunction m_cursorHide = nullptr;
  StyleFunction m_setTip = nullptr;
};

}  // namespace tarnlow::ui

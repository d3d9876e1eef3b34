#include "ui/libraries.h"

#include <dlfcn.h>

#include <system_error>

#include "app/delay.h"

namespace tarnlow::ui {

namespace {

void* Open(const std::filesystem::path& file) {
  return ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

}  // namespace

std::vector<std::string> RuntimeLibraries::MissingFiles(const std::filesystem::path& dir) {
  std::vector<std::string> missing;
  for (const char* file : kLibraryFiles) {
    std::error_code error;
    if (!std::filesystem::exists(dir / file, error)) missing.emplace_back(file);
  }
  return missing;
}

std::vector<std::string> RuntimeLibraries::Bind(const std::filesystem::path& dir) {
  std::vector<std::string> failed;

  void* shadow = Open(dir / kLibraryFiles[0]);
  if (!shadow || !Resolve(shadow, "Penumbrix", m_penumbrix)) {
    m_penumbrix = nullptr;
    failed.emplace_back(kLibraryFiles[0]);
  }

  void* edit = Open(dir / kLibraryFiles[1]);
  const bool editBound =
      edit && Resolve(edit, "MenuHide", m_menuHide) && Resolve(edit, "MenuShow", m_menuShow) &&
      Resolve(edit, "CursorHide", m_cursorHide) && Resolve(edit, "SetTip", m_setTip);
  if (!editBound) {
    m_menuHide = m_menuShow = m_cursorHide = nullptr;
    m_setTip = nullptr;
    failed.emplace_back(kLibraryFiles[1]);
  }

  if (!BindDelayLibrary(dir)) failed.emplace_back(kLibraryFiles[2]);
  return failed;
}

int RuntimeLibraries::Penumbrix(QWidget* owner, const char* style) const {
  return m_penumbrix ? m_penumbrix(owner, style) : 0;
}

int RuntimeLibraries::MenuHide(QWidget* edit) const { return m_menuHide ? m_menuHide(edit) : 0; }

int RuntimeLibraries::MenuShow(QWidget* edit) const { return m_menuShow ? m_menuShow(edit) : 0; }

int RuntimeLibraries::CursorHide(QWidget* edit) const {
  return m_cursorHide ? m_cursorHide(edit) : 0;
}

int RuntimeLibraries::SetTip(QWidget* edit, const char* gbkText) const {
  return m_setTip ? m_setTip(edit, gbkText) : 0;
}

}  // namespace tarnlow::ui

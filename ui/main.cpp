// tarnlow: the desktop program.
//
//   tarnlow [--home DIR] | --version
//
// The program directory (config.ini, cleantxt.list, log.log, Download) is
// the executable's folder unless --home names another; the run-time
// libraries are always the ones beside the executable.

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "app/program_dir.h"
#include "app/version.h"
#include "ui/fonts.h"
#include "ui/program.h"

namespace {

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// Without a display Qt would abort with several lines about plugins; say it
// in one.
bool HaveDisplay() { return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM"); }

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path home;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--version") {
      // Answered before Qt starts, so it works without a display.
      std::printf("%s\n", tarnlow::VersionText("tarnlow").c_str());
      return 0;
    }
    if (argument == "--home" && i + 1 < argc) {
      home = argv[++i];
    } else if (argument.starts_with("--home=")) {
      home = argument.substr(7);
    } else {
      std::fprintf(stderr, "usage: tarnlow [--home DIR] | --version\n");
      return 2;
    }
  }
  if (!HaveDisplay()) {
    std::fprintf(stderr, "tarnlow: no display to show the window on (DISPLAY is not set)\n");
    return 1;
  }

  QApplication application(argc, argv);
  // Menus and message boxes use the application font: give it the
  // installed Chinese families as fallbacks too.
  QFont font = QApplication::font();
  font.setFamilies(tarnlow::ui::WithChineseFallbacks(font.family()));
  QApplication::setFont(font);

  tarnlow::ui::Program program({tarnlow::ProgramDir(home), tarnlow::ExecutableDir()});
  if (!program.CreateMainWindow()) return 1;
  return QApplication::exec();
}

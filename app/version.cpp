#include "app/version.h"

namespace tarnlow {

std::string VersionText(std::string_view program) {
  return std::string(program) + " " TARNLOW_VERSION "\n";
}

}  // namespace tarnlow

#pragma once

#include <filesystem>

namespace tarnlow {

// Folder of the running executable (where the run-time libraries are).
std::filesystem::path ExecutableDir();

// The program directory for data: `home` when given, else ExecutableDir().
std::filesystem::path ProgramDir(const std::filesystem::path& home = {});

// A GBK text (a save name, a Download setting) as a file-system path.
std::filesystem::path GbkToPath(std::string_view gbk);
std::string PathToGbk(const std::filesystem::path& path);

}  // namespace tarnlow

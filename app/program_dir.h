#pragma once

#include <filesystem>

namespace tarnlow {

// Folder of the running executable (where the run-time libraries and the
// shipped cleantxt.list are).
std::filesystem::path ExecutableDir();

// The per-user data folder of an installed copy: $XDG_DATA_HOME/tarnlow, or
// ~/.local/share/tarnlow when that variable is unset or not absolute.
std::filesystem::path UserDataDir();

// The program directory for data: `home` when given; else `exeDir` when this
// user may write there and it is not an installed copy (a portable copy);
// else UserDataDir(), made on first use with an empty Download folder and a
// copy of exeDir's cleantxt.list.
std::filesystem::path ProgramDir(const std::filesystem::path& home = {},
                                 const std::filesystem::path& exeDir = ExecutableDir());

// A GBK text (a save name, a Download setting) as a file-system path.
std::filesystem::path GbkToPath(std::string_view gbk);
std::string PathToGbk(const std::filesystem::path& path);

}  // namespace tarnlow

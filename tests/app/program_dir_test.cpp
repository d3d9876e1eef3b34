// The program directory of a copy whose folder the user cannot write: the
// per-user data folder, made once and then left to the user.

#include "app/program_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "tests/support/support.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Sets (or, with nullopt, removes) an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (m_old) {
      setenv(m_name, m_old->c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

TEST(ProgramDirectory, ReadOnlyCopyUsesTheUserDataFolderMadeOnce) {
  TempDir root;
  const fs::path shipped = root.Write("installed/cleantxt.list", "rule\r\n");
  const fs::path bare = root.Path() / "bare";
  fs::create_directory(bare);
  const auto setWritable = [&](fs::perm_options how) {
    for (const fs::path& exeDir : {shipped.parent_path(), bare}) {
      fs::permissions(exeDir, fs::perms::owner_write | fs::perms::group_write, how);
    }
  };
  setWritable(fs::perm_options::remove);
  // Writable again before the folder goes, so that it can go.
  struct Restore {
    std::function<void()> run;
    ~Restore() { run(); }
  } restore{[&] { setWritable(fs::perm_options::add); }};
  ScopedEnv home("HOME", root.Path().string());

  {
    // A folder nobody has made yet: private parents, an empty Download, the
    // shipped rules, no half-made folder left beside it.
    ScopedEnv data("XDG_DATA_HOME", (root.Path() / "data" / "deep").string());
    const fs::path expected = root.Path() / "data" / "deep" / "tarnlow";
    ASSERT_EQ(ProgramDir({}, shipped.parent_path()), expected);
    EXPECT_TRUE(fs::is_empty(expected / "Download"));
    EXPECT_EQ(test::ReadFile(expected / "cleantxt.list"), "rule\r\n");
    EXPECT_EQ(fs::status(root.Path() / "data").permissions() & fs::perms::all,
              fs::perms::owner_all);
    EXPECT_EQ(std::distance(fs::directory_iterator(expected.parent_path()), {}), 1);

    // The user's own choices stand: nothing comes back at the next start.
    fs::remove(expected / "cleantxt.list");
    fs::remove(expected / "Download");
    EXPECT_EQ(ProgramDir({}, shipped.parent_path()), expected);
    EXPECT_FALSE(fs::exists(expected / "cleantxt.list"));
    EXPECT_FALSE(fs::exists(expected / "Download"));
    EXPECT_EQ(ProgramDir("/chosen/home", shipped.parent_path()), "/chosen/home");
  }
  {
    // A relative XDG_DATA_HOME is not a place; without a shipped list the
    // folder starts without rules.
    ScopedEnv data("XDG_DATA_HOME", "relative/data");
    const fs::path expected = root.Path() / ".local" / "share" / "tarnlow";
    ASSERT_EQ(ProgramDir({}, bare), expected);
    EXPECT_TRUE(fs::is_directory(expected / "Download"));
    EXPECT_FALSE(fs::exists(expected / "cleantxt.list"));
  }
}

}  // namespace
}  // namespace tarnlow

// The chapter cache's files after the ways a run can end: an index line cut
// by a kill, a folder another book's address left (the hashes met), a page
// file gone, and books nobody touched for a month.

#include "chapters/chapter_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/support/support.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;

TEST(ChapterCache, CutLinesForeignFoldersAndLostPagesCountAsAbsent) {
  test::TempDir dir;
  const std::string book = "http://127.0.0.1:1/book/";
  {
    ChapterCache cache(dir.Path(), book);
    ASSERT_TRUE(cache.Store(book + "1.html", "page one"));
    ASSERT_TRUE(cache.Store(book + "2.html", "page two"));
    // A kill in the middle of an index line.
    std::ofstream(cache.Folder() / "index", std::ios::app) << "3.txt\t" << book << "3.ht";
  }
  {
    ChapterCache cache(dir.Path(), book);
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.Load(book + "2.html"), "page two");
    EXPECT_EQ(cache.Load(book + "3.ht"), std::nullopt);
    ASSERT_TRUE(cache.Store(book + "4.html", "page four"));
    fs::remove(cache.Folder() / "1.txt");
  }
  {
    ChapterCache cache(dir.Path(), book);
    EXPECT_EQ(cache.Size(), 3u);
    EXPECT_EQ(cache.Load(book + "4.html"), "page four");
    EXPECT_EQ(cache.Load(book + "2.html"), "page two");
    EXPECT_EQ(cache.Load(book + "1.html"), std::nullopt);
    // The folder as another address whose hash is the same would leave it.
    std::ofstream(cache.Folder() / "index")
        << "#\thttp://127.0.0.1:1/other/\n1.txt\t" << book << "2.html\n";
  }
  ChapterCache cache(dir.Path(), book);
  EXPECT_EQ(cache.Load(book + "2.html"), std::nullopt);
  ASSERT_TRUE(cache.Store(book + "5.html", "page five"));
  EXPECT_EQ(ChapterCache(dir.Path(), book).Load(book + "5.html"), "page five");
  EXPECT_FALSE(fs::exists(cache.Folder() / "2.txt"));
}

TEST(ChapterCache, BooksUntouchedForThirtyDaysGoAtStart) {
  test::TempDir dir;
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> folders;
  for (const int days : {31, 29}) {
    ChapterCache cache(dir.Path(), "http://127.0.0.1:1/" + std::to_string(days) + "/");
    ASSERT_TRUE(cache.Store("http://127.0.0.1:1/1.html", "page"));
    fs::last_write_time(cache.Folder() / "index", now - std::chrono::hours(24 * days));
    folders.push_back(cache.Folder());
  }
  PruneChapterCache(dir.Path());
  EXPECT_FALSE(fs::exists(folders[0]));
  EXPECT_TRUE(fs::exists(folders[1] / "1.txt"));
  // Opening a book touches it.
  ChapterCache(dir.Path(), "http://127.0.0.1:1/29/");
  EXPECT_GT(fs::last_write_time(folders[1] / "index"), now - std::chrono::hours(1));
}

}  // namespace
}  // namespace tarnlow

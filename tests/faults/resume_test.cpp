// The chapter cache inside one program: a book saved with a failed chapter
// keeps its pages, and the next run on nine threads takes them from the
// cache, fetches only the failed chapter, says how many came from the cache
// and removes the cache once the book is whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "chapters/chapter_cache.h"
#include "chapters/download_job.h"
#include "tests/faults/book_fixture.h"

namespace tarnlow::faults {
namespace {

namespace fs = std::filesystem;

using ChapterCacheRun = BookFixture;

TEST_F(ChapterCacheRun, FailedChapterKeepsTheCacheAndTheNextRunFetchesOnlyIt) {
  app.state.resume = true;
  AddChapters(10);
  server.Serve("/book/7.html", "busy", "text/html", 500);
  ASSERT_TRUE(DownloadChapters(app, 0));
  EXPECT_EQ(Book(), ExpectedBook(10, {7}));
  EXPECT_EQ(ChapterCache(dir.Path(), server.Url("/book/")).Size(), 9u);

  // The chapter list of a new contents run: titles and addresses, no texts.
  for (ChapterEntry& e : app.chapters.Entries()) e.text.clear();
  server.Get(R"(/book/7\.html)", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(ChapterPage(7), "text/html");
  });
  server.ClearRequests();
  app.state.threadCount = 9;
  ReadyForChapters();
  ASSERT_TRUE(DownloadChapters(app, 0));
  EXPECT_EQ(test::ReadFile(folder / "测试书_1.txt"), ExpectedBook(10, {}));
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(Requests(n), n == 7 ? 1 : 0) << n;
  const auto history = model.StatusHistory();
  EXPECT_TRUE(std::any_of(history.begin(), history.end(), [](const StatusRecord& s) {
    return s.text.find(Gbk(" 来自缓存：9")) != std::string::npos;
  }));
  EXPECT_FALSE(fs::exists(ChapterCache(dir.Path(), server.Url("/book/")).Folder()));
}

}  // namespace
}  // namespace tarnlow::faults

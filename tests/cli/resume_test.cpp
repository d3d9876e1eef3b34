// Never fetching a chapter twice, run as a process: a get that is killed
// half-way, then run again (with Resume on the second run fetches only the
// chapters the first one did not finish, and the book is the same as an
// uninterrupted run's; with Resume off it fetches them all), and update of a
// saved book with no, seven, and seven new chapters of which one fails.

#include <signal.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/cli/program.h"
#include "tests/faults/book_fixture.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"
#include "tests/support/wait.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;
using faults::ChapterPage;
using faults::ExpectedBook;
using faults::Title;
using test::Gbk;
using test::RunProgram;

constexpr int kChapters = 20;
constexpr int kAnswered = 10;  // chapters the first run gets before answers stop

std::string Contents(int count = kChapters) {
  std::string links;
  for (int n = 1; n <= count; ++n) {
    links += "<a href=\"/book/" + std::to_string(n) + ".html\">" + Title(n) + "</a>";
  }
  return Gbk("<html><head><meta property=\"og:novel:book_name\" content=\"续传书\"/></head>"
             "<body><div id=\"list\">") +
         links + "</div></body></html>";
}

// Complete entries in the index files below `cache` (its first line names the book).
int CachedEntries(const fs::path& cache) {
  int entries = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator it(cache, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().filename() != "index") continue;
    const std::string index = test::ReadFile(it->path()).value_or("");
    for (const char c : index) entries += c == '\n' ? 1 : 0;
    entries -= index.empty() ? 0 : 1;
  }
  return entries;
}

struct ResumeCase {
  const char* resume;
  int expectedRequestsOfDone;  // second run, each chapter the first run finished
};

class CliResume : public ::testing::TestWithParam<ResumeCase> {
 protected:
  CliResume() {
    for (const test::TempDir* dir : {&home, &freshHome})
      fs::create_directory(dir->Path() / "Download");
    server.Serve("/book/", Contents());
    server.Get(R"(/book/(\d+)\.html)", [this](const httplib::Request& req, httplib::Response& res) {
      const int n = std::stoi(req.matches[1]);
      if (n > kAnswered) answers.Wait(std::chrono::seconds(30));
      res.set_content(ChapterPage(n), "text/html");
    });
  }
  ~CliResume() override { answers.Open(); }

  std::vector<std::string> Args(const test::TempDir& dir, std::vector<std::string> more) const {
    std::vector<std::string> args = {"--home", dir.Path().string(), "--delay", "1",
                                     "get",    "--threads",         "3"};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(server.Url("/book/"));
    return args;
  }

  test::TempDir home;
  test::TempDir freshHome;
  test::TestServer server;
  test::Gate answers;
};

TEST_P(CliResume, SecondRunAfterKillFetchesOnlyWhatIsMissing) {
  const fs::path cache = home.Path() / "Cache";
  bool killedHalfWay = false;
  const auto first = RunProgram(TARNLOW_CLI_PATH, Args(home, {}), [&](pid_t pid) {
    // Killed only once the three threads' held requests have reached the
    // server too, so that none of them is counted as the second run's.
    killedHalfWay = test::WaitUntil(
        [&] {
          for (int n = kAnswered + 1; n <= kAnswered + 3; ++n) {
            if (server.RequestCount("/book/" + std::to_string(n) + ".html") == 0) return false;
          }
          return CachedEntries(cache) == kAnswered;
        },
        std::chrono::seconds(60));
    kill(pid, SIGKILL);
  });
  ASSERT_TRUE(killedHalfWay) << CachedEntries(cache) << " kept\n" << first.err;
  EXPECT_EQ(first.status, -1);
  const fs::path book = home.Path() / "Download" / "续传书.txt";
  EXPECT_FALSE(fs::exists(book));

  answers.Open();
  server.ClearRequests();
  const auto second = RunProgram(TARNLOW_CLI_PATH, Args(home, {"--resume", GetParam().resume}));
  ASSERT_EQ(second.status, 0) << second.err;
  for (int n = 1; n <= kChapters; ++n) {
    const int requests = server.RequestCount("/book/" + std::to_string(n) + ".html");
    EXPECT_EQ(requests, n <= kAnswered ? GetParam().expectedRequestsOfDone : 1) << n;
  }
  const bool resumed = GetParam().expectedRequestsOfDone == 0;
  EXPECT_EQ(second.err.find(", 10 from cache") != std::string::npos, resumed) << second.err;
  // Saved whole, the book's pages go; a run that does not use them leaves them.
  EXPECT_EQ(CachedEntries(cache), resumed ? 0 : kAnswered);

  const auto uninterrupted = RunProgram(TARNLOW_CLI_PATH, Args(freshHome, {}));
  ASSERT_EQ(uninterrupted.status, 0) << uninterrupted.err;
  const auto whole = test::ReadFile(freshHome.Path() / "Download" / "续传书.txt");
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(*whole, ExpectedBook(kChapters, {}));
  EXPECT_EQ(test::ReadFile(book), whole);
}

INSTANTIATE_TEST_SUITE_P(Resume, CliResume,
                         ::testing::Values(ResumeCase{"1", 0}, ResumeCase{"0", 1}),
                         [](const auto& info) {
                           return std::string(info.param.resume) == "1" ? "On" : "Off";
                         });

struct UpdateCase {
  const char* name;
  int added;         // chapters the contents gain after the book was saved
  int failing;       // a new chapter that answers 500, 0 for none
  int status;        // of update
  const char* said;  // on standard error (UTF-8)
};

class CliUpdate : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(CliUpdate, AddsOnlyNewChaptersAndReplacesTheBookOnlyWhenAllCame) {
  const UpdateCase& c = GetParam();
  test::TempDir home;
  fs::create_directory(home.Path() / "Download");
  test::TestServer server;
  constexpr int kSaved = 10;
  server.Serve("/book/", Contents(kSaved));
  server.Get(R"(/book/(\d+)\.html)", [&c](const httplib::Request& req, httplib::Response& res) {
    const int n = std::stoi(req.matches[1]);
    if (n == c.failing) {
      res.status = 500;
      return;
    }
    res.set_content(ChapterPage(n), "text/html");
  });
  const std::vector<std::string> common = {
      "--home", home.Path().string(), "--delay", "1", "--retry", "0"};
  std::vector<std::string> get = common;
  get.insert(get.end(), {"get", server.Url("/book/")});
  ASSERT_EQ(RunProgram(TARNLOW_CLI_PATH, get).status, 0);
  const fs::path book = home.Path() / "Download" / "续传书.txt";
  const auto record = test::ReadFile(fs::path(book.string() + ".tarnlow"));
  ASSERT_TRUE(record.has_value());

  server.Serve("/book/", Contents(kSaved + c.added));
  server.ClearRequests();
  std::vector<std::string> update = common;
  update.insert(update.end(), {"update", book.string()});
  const auto run = RunProgram(TARNLOW_CLI_PATH, update);
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
  for (int n = 1; n <= kSaved + c.added; ++n) {
    EXPECT_EQ(server.RequestCount("/book/" + std::to_string(n) + ".html"), n > kSaved ? 1 : 0) << n;
  }
  const bool updated = c.status == 0 && c.added > 0;
  EXPECT_EQ(test::ReadFile(book), ExpectedBook(updated ? kSaved + c.added : kSaved, {}));
  const auto after = test::ReadFile(fs::path(book.string() + ".tarnlow"));
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(*after == *record, !updated);
  const std::string last = "/book/" + std::to_string(kSaved + c.added) + ".html\r\n";
  EXPECT_EQ(after->ends_with(last), c.failing == 0);
  // Nothing but the book and its record: no temporary file left behind.
  EXPECT_EQ(
      std::distance(fs::directory_iterator(home.Path() / "Download"), fs::directory_iterator()), 2);
}

INSTANTIATE_TEST_SUITE_P(Update, CliUpdate,
                         ::testing::Values(UpdateCase{"NothingNew", 0, 0, 0, "没有新章节"},
                                           UpdateCase{"SevenNew", 7, 0, 0, "新增 7 章"},
                                           UpdateCase{"OneOfSevenFails", 7, 15, 1, "  15\t第15章"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnlow

#pragma once
// A small book on a local server and the program state that downloads it,
// shared by the fault scenarios: each chapter page carries its own number in
// its title and in every line, so a text in the wrong place shows.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "tests/support/support.h"
#include "tests/support/test_server.h"

namespace tarnlow::faults {

using test::Gbk;

// "第n章" in GBK.
std::string Title(int n);
// A chapter page whose text the break-run extraction finds.
std::string ChapterPage(int n);
// What the chapter command stores for ChapterPage(n).
std::string ChapterText(int n);

// The chapter names (UTF-8) of the "取章节：失败！" lines of a run log, one
// entry per line, with the address each line names.
std::multimap<std::string, std::string> FailureLines(const std::string& gbkLog);

// The book file as the chapter list says it must be written: every entry's
// title, CR LF, text, CR LF.
std::string BookOf(const ChapterList& chapters);

// The book expected when the chapters in `failed` have no text and every
// other chapter 1..count its ChapterText.
std::string ExpectedBook(int count, const std::set<int>& failed);

std::chrono::duration<double> Since(std::chrono::steady_clock::time_point start);

class BookFixture : public ::testing::Test {
 protected:
  BookFixture();

  // Chapters 1..count served at /book/n.html.
  void AddChapters(int count);
  // One more chapter whose page lives at `url`.
  void AddChapter(const std::string& title, const std::string& url);
  std::string ChapterUrl(int n) const;

  // The window after a contents run: the chapter command's caption, a save
  // name and an address, nothing running.
  void ReadyForChapters();

  std::filesystem::path BookPath() const;
  // The saved book, or "<none>".
  std::string Book() const;
  // Files in the download folder.
  std::vector<std::string> FolderEntries() const;
  int Requests(int n) const;

  test::TempDir dir;
  std::filesystem::path folder;
  test::TestServer server;
  WindowModel model{Recording::On};
  RecordingShell shell;
  App app{model, shell, dir.Path()};
};

}  // namespace tarnlow::faults

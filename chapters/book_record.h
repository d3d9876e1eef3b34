#pragma once
// The record kept beside a saved book ("name.txt.tarnlow", GBK, CR LF): the
// contents address, the marks and options the book was made with, and its
// chapter addresses in order, so that the book can be brought up to date
// later by fetching only the chapters added since.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnlow {

struct App;

struct BookRecord {
  std::string address;  // GBK, like every text below
  std::string listBegin;
  std::string listEnd;
  std::string textBegin;
  std::string textEnd;
  bool nextPage = false;
  bool cleanDubious = false;
  bool keepDubiousWithMarks = false;
  bool renumber = false;
  bool autoList = false;
  bool autoText = false;
  int lineMode = 0;
  std::vector<std::string> chapterUrls;
  bool operator==(const BookRecord&) const = default;
};

std::filesystem::path BookRecordPath(const std::filesystem::path& book);

// What the window and the chapter list hold now.
BookRecord CurrentBookRecord(const App& app);

// Replaces the record of `book` whole. False when it cannot be written, or
// when a text holds a line break, which one line cannot keep.
bool WriteBookRecord(const std::filesystem::path& book, const BookRecord& record);

// The record of `book`; nothing when it is missing or not one of ours.
std::optional<BookRecord> ReadBookRecord(const std::filesystem::path& book);

}  // namespace tarnlow

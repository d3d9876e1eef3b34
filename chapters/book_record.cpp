#include "chapters/book_record.h"

#include <string_view>

#include "app/app.h"
#include "app/files.h"
#include "text/text.h"

namespace tarnlow {
namespace {

constexpr std::string_view kBookSection = "[book]";
constexpr std::string_view kChapterSection = "[chapters]";

struct TextField {
  std::string_view key;
  std::string BookRecord::*field;
};
constexpr TextField kTexts[] = {
    {"Address", &BookRecord::address}, {"ListBegin", &BookRecord::listBegin},
    {"ListEnd", &BookRecord::listEnd}, {"TextBegin", &BookRecord::textBegin},
    {"TextEnd", &BookRecord::textEnd},
};

struct FlagField {
  std::string_view key;
  bool BookRecord::*field;
};
constexpr FlagField kFlags[] = {
    {"NextPage", &BookRecord::nextPage},
    {"CleanDubious", &BookRecord::cleanDubious},
    {"KeepDubiousWithMarks", &BookRecord::keepDubiousWithMarks},
    {"Renumber", &BookRecord::renumber},
    {"AutoList", &BookRecord::autoList},
    {"AutoText", &BookRecord::autoText},
};

bool OneLine(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

}  // namespace

std::filesystem::path BookRecordPath(const std::filesystem::path& book) {
  std::filesystem::path path = book;
  path += ".tarnlow";
  return path;
}

BookRecord CurrentBookRecord(const App& app) {
  const WindowModel& model = app.model;
  BookRecord record;
  record.address = model.GetBox(Box::Address);
  record.listBegin = model.GetBox(Box::ListBegin);
  record.listEnd = model.GetBox(Box::ListEnd);
  record.textBegin = model.GetBox(Box::TextBegin);
  record.textEnd = model.GetBox(Box::TextEnd);
  record.nextPage = model.IsOptionOn(Option::NextPage);
  record.cleanDubious = model.IsOptionOn(Option::CleanDubious);
  record.keepDubiousWithMarks = model.IsOptionOn(Option::KeepDubiousWithMarks);
  record.renumber = model.IsOptionOn(Option::Renumber);
  record.autoList = model.IsOptionOn(Option::AutoList);
  record.autoText = app.state.autoText;
  record.lineMode = app.state.lineMode;
  for (const ChapterEntry& e : app.chapters.Entries()) record.chapterUrls.push_back(e.url);
  return record;
}

bool WriteBookRecord(const std::filesystem::path& book, const BookRecord& record) {
  std::string text = std::string(kBookSection) + "\r\n";
  for (const TextField& t : kTexts) {
    if (!OneLine(record.*t.field)) return false;
    text += std::string(t.key) + "=" + record.*t.field + "\r\n";
  }
  for (const FlagField& f : kFlags) {
    text += std::string(f.key) + "=" + (record.*f.field ? "1" : "0") + "\r\n";
  }
  text += "LineMode=" + std::to_string(record.lineMode) + "\r\n";
  text += std::string(kChapterSection) + "\r\n";
  for (const std::string& url : record.chapterUrls) {
    if (!OneLine(url)) return false;
    text += url + "\r\n";
  }
  return ReplaceFile(BookRecordPath(book), text);
}

std::optional<BookRecord> ReadBookRecord(const std::filesystem::path& book) {
  const FileBytes file = ReadFileBytes(BookRecordPath(book));
  if (file.state != FileBytes::State::Read) return std::nullopt;
  const std::string& bytes = file.bytes;
  BookRecord record;
  bool inBook = false;
  bool inChapters = false;
  bool sawBook = false;
  std::size_t from = 0;
  while (from < bytes.size()) {
    std::size_t end = bytes.find('\n', from);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line(bytes.data() + from, end - from);
    from = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line == kBookSection) {
      inBook = sawBook = true;
      inChapters = false;
      continue;
    }
    if (line == kChapterSection) {
      inBook = false;
      inChapters = true;
      continue;
    }
    if (inChapters) {
      if (!line.empty()) record.chapterUrls.emplace_back(line);
      continue;
    }
    if (!inBook) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    for (const TextField& t : kTexts) {
      if (t.key == key) record.*t.field = std::string(value);
    }
    for (const FlagField& f : kFlags) {
      if (f.key == key) record.*f.field = value == "1";
    }
    if (key == "LineMode") record.lineMode = static_cast<int>(SettingToInteger(value));
  }
  if (!sawBook || record.address.empty()) return std::nullopt;
  return record;
}

}  // namespace tarnlow

#pragma once
// config.ini in the program directory, section "config". Every read goes to
// the file and every change is written at once; keys and values are GBK.

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnlow {

enum class SettingType { Flag, Integer, Text };

// One row of the key table: name, type, default (UTF-8 source text) and, for
// integers, the clamp applied when the program starts (LLONG_MIN / LLONG_MAX
// where a side has no limit).
struct SettingKey {
  const char* name;
  SettingType type;
  const char* defaultUtf8;
  long long min;
  long long max;
};

namespace keys {
extern const SettingKey OffCleanDubiousList, CleanDubiousList, AddNum, MonitorClip, AutoMonitorClip,
    GetNextPage, Delay, Retry, OnTop, Download, AuthorBookName, LineMode, Website, ListTagBegin,
    ListTagEnd, TextBegin, TextEnd, FontName, FontSize, Thread, LogRefresh, FontName2, FontSize2,
    Keyword, Webs;
// Settings of this program's own: finding the chapter list and chapter bodies
// without marks, the health report after a chapter run, keeping fetched
// chapter pages so that a later run need not fetch them again, and slowing
// down for a site that pushes back.
extern const SettingKey AutoList, AutoText, HealthReport, Resume, BackOff;
}

class Settings {
 public:
  explicit Settings(std::filesystem::path programDir);

  std::filesystem::path FilePath() const;

  // The value, or `defaultValue` when the file, section or key is missing.
  // Values are cut at 10239 bytes, except the batch list (Webs), read whole.
  std::string Read(std::string_view key, std::string_view defaultValue) const;
  // Writes key=value, creating file and section as needed; other sections,
  // keys and comments survive. The file is replaced whole through a temporary
  // file, never left half written. Returns false when the file cannot be
  // written, and refuses (false, file unchanged) a value holding a line break
  // or a zero byte, which one line cannot store.
  bool Write(std::string_view key, std::string_view value);

  // Through the key table: the default from the table, GBK.
  std::string Read(const SettingKey& key) const;
  bool ReadFlag(const SettingKey& key) const;
  // SettingToInteger of the value, clamped to the key's range when it has one.
  long long ReadInteger(const SettingKey& key) const;
  bool Write(const SettingKey& key, std::string_view value);

 private:
  std::filesystem::path m_dir;
};

}  // namespace tarnlow

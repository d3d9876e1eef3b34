#include "app/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/files.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow {

namespace keys {
namespace {
constexpr long long kNoMin = LLONG_MIN;
constexpr long long kNoMax = LLONG_MAX;
}  // namespace

// clang-format off
const SettingKey OffCleanDubiousList{"OffCleanDubiousList", SettingType::Flag, "0", kNoMin, kNoMax};
const SettingKey CleanDubiousList{"CleanDubiousList", SettingType::Flag, "0", kNoMin, kNoMax};
const SettingKey AddNum{"AddNum", SettingType::Flag, "0", kNoMin, kNoMax};
const SettingKey MonitorClip{"MonitorClip", SettingType::Flag, "0", kNoMin, kNoMax};
const SettingKey AutoMonitorClip{"AutoMonitorClip", SettingType::Flag, "0", kNoMin, kNoMax};
const SettingKey GetNextPage{"GetNextPage", SettingType::Flag, "1", kNoMin, kNoMax};
const SettingKey Delay{"Delay", SettingType::Integer, "1000", 100, 99999};
const SettingKey Retry{"Retry", SettingType::Integer, "10", 0, 99999};
const SettingKey OnTop{"OnTop", SettingType::Flag, "0", kNoMin, kNoMax};
const SettingKey Download{"Download", SettingType::Text, "", kNoMin, kNoMax};
const SettingKey AuthorBookName{"Author&book_name", SettingType::Integer, "0", kNoMin, kNoMax};
const SettingKey LineMode{"LineMode", SettingType::Integer, "0", kNoMin, kNoMax};
const SettingKey Website{"Website", SettingType::Text, "", kNoMin, kNoMax};
const SettingKey ListTagBegin{"ListTagBegin", SettingType::Text, "", kNoMin, kNoMax};
const SettingKey ListTagEnd{"ListTagEnd", SettingType::Text, "</div>", kNoMin, kNoMax};
const SettingKey TextBegin{"TextBegin", SettingType::Text, "", kNoMin, kNoMax};
const SettingKey TextEnd{"TextEnd", SettingType::Text, "</div>", kNoMin, kNoMax};
const SettingKey FontName{"FontName", SettingType::Text, "微软雅黑", kNoMin, kNoMax};
const SettingKey FontSize{"FontSize", SettingType::Integer, "9", kNoMin, kNoMax};
const SettingKey Thread{"Thread", SettingType::Integer, "3", 1, 99};
const SettingKey LogRefresh{"LogRefresh", SettingType::Integer, "1000", 100, kNoMax};
const SettingKey FontName2{"FontName2", SettingType::Text, "微软雅黑", kNoMin, kNoMax};
const SettingKey FontSize2{"FontSize2", SettingType::Integer, "", kNoMin, kNoMax};
const SettingKey Keyword{"Keyword", SettingType::Text, "第", kNoMin, kNoMax};
const SettingKey Webs{"Webs", SettingType::Text, "", kNoMin, kNoMax};
const SettingKey AutoList{"AutoList", SettingType::Flag, "1", kNoMin, kNoMax};
const SettingKey AutoText{"AutoText", SettingType::Flag, "1", kNoMin, kNoMax};
const SettingKey HealthReport{"HealthReport", SettingType::Flag, "1", kNoMin, kNoMax};
const SettingKey Resume{"Resume", SettingType::Flag, "1", kNoMin, kNoMax};
const SettingKey BackOff{"BackOff", SettingType::Flag, "1", kNoMin, kNoMax};
// clang-format on
}  // namespace keys

namespace {

constexpr std::string_view kSection = "config";
constexpr std::string_view kFileName = "config.ini";
// A read returns at most this many bytes of a value.
constexpr std::size_t kMaxValueBytes = 10239;

// Reads and writes of the file are kept whole against each other within the
// process: a write is read-modify-replace.
std::mutex g_fileMutex;

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

// The section named on a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  std::size_t close = line.find(']');
  if (close != std::string_view::npos) line = line.substr(0, close);
  return TrimBlanks(line);
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

// key=value of a line inside a section; comments, blank lines and lines
// without "=" hold no key.
std::optional<KeyValue> ParseKeyLine(std::string_view line) {
  std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  std::size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyValue{TrimBlanks(trimmed.substr(0, eq)), TrimBlanks(trimmed.substr(eq + 1))};
}

// Lines without their CR LF or LF; a last line without a line break counts.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < bytes.size()) {
    std::size_t end = bytes.find('\n', begin);
    std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
    if (end == std::string::npos) end = bytes.size();
    std::size_t stop = end;
    if (stop > begin && bytes[stop - 1] == '\r') --stop;
    lines.emplace_back(bytes, begin, stop - begin);
    begin = next;
  }
  return lines;
}

struct SectionRange {
  std::size_t header;  // index of the "[config]" line
  std::size_t end;     // one past the section's last line
};

std::optional<SectionRange> FindSection(const std::vector<std::string>& lines) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(lines[i]);
    if (!name || !EqualIgnoringCase(*name, kSection)) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end])) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKeyLine(const std::vector<std::string>& lines,
                                       const SectionRange& section, std::string_view key) {
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    auto kv = ParseKeyLine(lines[i]);
    if (kv && EqualIgnoringCase(kv->key, key)) return i;
  }
  return std::nullopt;
}

// A line break would end the line early and let the rest pass for other keys
// or sections, and a zero byte would end the value; such values are refused
// rather than stored cut.
bool StorableValue(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool StorableKey(std::string_view key) {
  std::string_view trimmed = TrimBlanks(key);
  return !trimmed.empty() && trimmed.front() != '[' && trimmed.front() != ';' &&
         trimmed.find('=') == std::string_view::npos && StorableValue(trimmed);
}

// Never ends a cut value on the lead byte of a double-byte character.
std::string CutValue(std::string_view value) {
  if (value.size() <= kMaxValueBytes) return std::string(value);
  std::size_t i = 0;
  while (i < kMaxValueBytes) {
    std::size_t width = static_cast<unsigned char>(value[i]) >= 0x80 ? 2 : 1;
    if (i + width > kMaxValueBytes) break;
    i += width;
  }
  return std::string(value.substr(0, i));
}

}  // namespace

Settings::Settings(std::filesystem::path programDir) : m_dir(std::move(programDir)) {}

std::filesystem::path Settings::FilePath() const { return m_dir / kFileName; }

std::string Settings::Read(std::string_view key, std::string_view defaultValue) const {
  FileBytes file;
  {
    std::lock_guard lock(g_fileMutex);
    file = ReadFileBytes(FilePath());
  }
  if (file.state != FileBytes::State::Read) return std::string(defaultValue);
  std::vector<std::string> lines = SplitLines(file.bytes);
  auto section = FindSection(lines);
  if (!section) return std::string(defaultValue);
  std::string_view wanted = TrimBlanks(key);
  auto line = FindKeyLine(lines, *section, wanted);
  if (!line) return std::string(defaultValue);
  std::string_view value = ParseKeyLine(lines[*line])->value;
  // The batch list is read whole: a cut would silently drop stored tasks.
  if (EqualIgnoringCase(wanted, keys::Webs.name)) return std::string(value);
  return CutValue(value);
}

bool Settings::Write(std::string_view key, std::string_view value) {
  if (!StorableKey(key) || !StorableValue(value)) return false;
  std::string_view name = TrimBlanks(key);
  std::string newLine = std::string(name) + "=" + std::string(value);

  std::lock_guard lock(g_fileMutex);
  const std::filesystem::path path = FilePath();
  // A file that exists but cannot be read is left alone: rewriting it would
  // lose every other setting in it.
  const FileBytes file = ReadFileBytes(path);
  if (file.state == FileBytes::State::Failed) return false;
  std::vector<std::string> lines = SplitLines(file.bytes);

  if (auto section = FindSection(lines)) {
    if (auto line = FindKeyLine(lines, *section, name)) {
      lines[*line] = std::move(newLine);
    } else {
      // After the section's last non-blank line, so blank lines that part it
      // from the next section stay where they are.
      std::size_t at = section->end;
      while (at > section->header + 1 && TrimBlanks(lines[at - 1]).empty()) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(newLine));
    }
  } else {
    lines.push_back("[" + std::string(kSection) + "]");
    lines.push_back(std::move(newLine));
  }

  std::string out;
  for (const std::string& line : lines) {
    out += line;
    out += "\r\n";
  }
  return ReplaceFile(path, out);
}

std::string Settings::Read(const SettingKey& key) const {
  return Read(key.name, Utf8ToAnsi(key.defaultUtf8));
}

bool Settings::ReadFlag(const SettingKey& key) const { return Read(key) == "1"; }

long long Settings::ReadInteger(const SettingKey& key) const {
  return std::clamp(SettingToInteger(Read(key)), key.min, key.max);
}

bool Settings::Write(const SettingKey& key, std::string_view value) {
  return Write(key.name, value);
}

}  // namespace tarnlow

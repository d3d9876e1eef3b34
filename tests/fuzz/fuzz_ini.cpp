// config.ini from the input: one key written over whatever the file holds
// must read back as written and leave every other key as it read before;
// then the start-up reads must cope with the file. Input: key choice,
// separator, the value (a field), the key name when the choice's top bit is
// set (a field), then the file.

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "app/app.h"
#include "app/settings.h"
#include "tests/fuzz/fuzz_input.h"

namespace tarnlow::fuzz {
namespace {

const SettingKey* const kTable[] = {&keys::OffCleanDubiousList,
                                    &keys::CleanDubiousList,
                                    &keys::AddNum,
                                    &keys::MonitorClip,
                                    &keys::AutoMonitorClip,
                                    &keys::GetNextPage,
                                    &keys::Delay,
                                    &keys::Retry,
                                    &keys::OnTop,
                                    &keys::Download,
                                    &keys::AuthorBookName,
                                    &keys::LineMode,
                                    &keys::Website,
                                    &keys::ListTagBegin,
                                    &keys::ListTagEnd,
                                    &keys::TextBegin,
                                    &keys::TextEnd,
                                    &keys::FontName,
                                    &keys::FontSize,
                                    &keys::Thread,
                                    &keys::LogRefresh,
                                    &keys::FontName2,
                                    &keys::FontSize2,
                                    &keys::Keyword,
                                    &keys::Webs};

// Tells a missing key from any value the file can hold.
constexpr std::string_view kMissing = "\x01missing";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameKey(std::string_view a, std::string_view b) {
  a = TrimBlanks(a);
  b = TrimBlanks(b);
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

bool HoldsLineBreakOrZero(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A value reads back without the blanks around it, and cut after 10239
// bytes (never inside a double-byte character) unless it is the batch list.
std::string ReadBack(std::string_view key, std::string_view value) {
  value = TrimBlanks(value);
  if (SameKey(key, keys::Webs.name)) return std::string(value);
  std::size_t end = 0;
  while (end < value.size()) {
    const std::size_t width = static_cast<unsigned char>(value[end]) >= 0x80 ? 2 : 1;
    if (end + width > 10239) break;
    end += width;
  }
  return std::string(value.substr(0, std::min(end, value.size())));
}

// The table's keys, the written one and every name the file seems to hold.
std::vector<std::string> KeysToWatch(std::string_view file, std::string_view written) {
  std::vector<std::string> names;
  for (const SettingKey* key : kTable) names.emplace_back(key->name);
  names.emplace_back(written);
  std::size_t pos = 0;
  while (pos < file.size() && names.size() < 64) {
    std::size_t end = file.find('\n', pos);
    if (end == std::string_view::npos) end = file.size();
    const std::string_view line = file.substr(pos, end - pos);
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) names.emplace_back(TrimBlanks(line.substr(0, eq)));
    pos = end + 1;
  }
  return names;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CheckStartup(App& app) {
  ApplyStartupSettings(app);
  const WindowModel& model = app.model;
  const RunState& state = app.state;
  FUZZ_CHECK(state.delayMs >= 100 && state.delayMs <= 99999);
  FUZZ_CHECK(state.retryCount >= 0 && state.retryCount <= 99999);
  FUZZ_CHECK(state.threadCount >= 1 && state.threadCount <= 99);
  FUZZ_CHECK(model.GetBox(Box::DelayMs) == std::to_string(state.delayMs));
  FUZZ_CHECK(model.GetBox(Box::Address) == app.settings.Read(keys::Website));
  FUZZ_CHECK(model.GetBox(Box::TextEnd) == app.settings.Read(keys::TextEnd));
  FUZZ_CHECK(state.lineMode ==
             std::clamp<long long>(app.settings.ReadInteger(keys::LineMode), INT_MIN, INT_MAX));
  FUZZ_CHECK(model.IsOptionOn(Option::NextPage) == app.settings.ReadFlag(keys::GetNextPage));
}

}  // namespace
}  // namespace tarnlow::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlow;
  using namespace tarnlow::fuzz;
  Input in(data, size);
  const std::uint8_t choice = in.Byte();
  const char separator = static_cast<char>(in.Byte());
  const std::string value(in.Field(separator));
  const std::string key =
      choice & 0x80 ? std::string(in.Field(separator)) : kTable[choice % std::size(kTable)]->name;
  const std::string_view file = in.Rest();

  ScratchDir::WriteFile("config.ini", file);
  WindowModel model;
  RecordingShell shell;
  App app{model, shell, ScratchDir::Path()};
  Settings& settings = app.settings;

  const std::vector<std::string> names = KeysToWatch(file, key);
  std::vector<std::string> before;
  for (const std::string& name : names) before.push_back(settings.Read(name, kMissing));

  const bool written = settings.Write(key, value);
  const std::string trimmedKey(TrimBlanks(key));
  const bool storable = !HoldsLineBreakOrZero(value) && !HoldsLineBreakOrZero(key) &&
                        !trimmedKey.empty() && trimmedKey.front() != '[' &&
                        trimmedKey.front() != ';' && trimmedKey.find('=') == std::string::npos;
  FUZZ_CHECK(written == storable);
  if (!written) FUZZ_CHECK(ReadFile(settings.FilePath()) == file);

  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string now = settings.Read(names[i], kMissing);
    if (written && SameKey(names[i], key)) {
      FUZZ_CHECK(now == ReadBack(key, value));
    } else {
      FUZZ_CHECK(now == before[i]);
    }
  }

  CheckStartup(app);
  return 0;
}

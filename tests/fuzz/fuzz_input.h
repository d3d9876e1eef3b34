#pragma once
// What every fuzz target shares: fields read out of the fuzzer's bytes, a
// check that stops the run so the input is kept, and a scratch folder for
// the targets that read files.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "text/regex.h"

namespace tarnlow::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

// Not assert(): the fuzz build is optimised with NDEBUG.
#define FUZZ_CHECK(condition)                                                \
  do {                                                                       \
    if (!(condition)) ::tarnlow::fuzz::Fail(__FILE__, __LINE__, #condition); \
  } while (0)

// Rules taken from the input may backtrack without end; the engine's time
// limit is what stops them, set once for the whole run.
inline void LimitRuleTime(int ms) {
  static const bool once = (Regex::SetTimeLimitMs(ms), true);
  (void)once;
}

// The fuzzer's bytes read front to back. Reading past the end gives zeros and
// empty fields, so every input, however short, is a valid one.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size)
      : m_rest(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t Byte() {
    if (m_rest.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(m_rest.front());
    m_rest.remove_prefix(1);
    return b;
  }

  // Two bytes as a signed number: positions, counts and starts, negative ones
  // included.
  int Number() {
    const unsigned low = Byte();
    const unsigned high = Byte();
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
  }

  // The bytes up to the next `separator` (which is consumed), or all the rest.
  std::string_view Field(char separator) {
    const std::size_t at = m_rest.find(separator);
    const std::string_view field = m_rest.substr(0, at);
    m_rest.remove_prefix(at == std::string_view::npos ? m_rest.size() : at + 1);
    return field;
  }

  std::string_view Rest() {
    const std::string_view rest = m_rest;
    m_rest = {};
    return rest;
  }

 private:
  std::string_view m_rest;
};

// One folder per process under the temporary folder (TMPDIR), removed at
// exit. The targets that read files write them here on every input.
class ScratchDir {
 public:
  static const std::filesystem::path& Path() {
    static const ScratchDir dir;
    return dir.m_path;
  }

  static void WriteFile(const std::string& name, std::string_view bytes) {
    std::ofstream out(Path() / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
  }

  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

 private:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnlow-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    m_path = pattern;
  }
  ~ScratchDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
  }

  std::filesystem::path m_path;
};

}  // namespace tarnlow::fuzz

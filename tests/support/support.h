#pragma once
// Small helpers shared by the tests: temporary folders, GBK literals,
// compressed bodies and the saved real pages.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "fetch/http_client.h"

namespace tarnlow::test {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  // Writes bytes to a file below the folder (creating sub-folders) and
  // returns its path.
  std::filesystem::path Write(const std::filesystem::path& relative, std::string_view bytes) const;
  // The bytes of a file below the folder; empty when it cannot be read.
  std::string Read(const std::filesystem::path& relative) const;
  bool Exists(const std::filesystem::path& relative) const;

 private:
  std::filesystem::path m_path;
};

// A UTF-8 literal as the program's GBK text: Gbk("第一章").
std::string Gbk(std::string_view utf8);

std::optional<std::string> ReadFile(const std::filesystem::path& path);

// A file of the saved real pages (relative to their folder), or nullopt when
// the folder is not there: callers GTEST_SKIP. The folder is
// $TARNLOW_REALPAGES when set, else ../shared/realpages beside the sources.
std::optional<std::string> RealPage(const std::filesystem::path& relative);

// Content codings, for serving compressed answers.
std::string GzipBytes(std::string_view data);
std::string ZlibBytes(std::string_view data);        // "deflate" as the standard means it
std::string RawDeflateBytes(std::string_view data);  // "deflate" as some servers send it
std::string BrotliBytes(std::string_view data);
// A gzip member of `count` zero bytes, made without holding them in memory.
std::string GzipOfZeros(std::size_t count);

// Sets the client layer's time-outs for one test and puts the previous ones
// back afterwards.
class ScopedTimeouts {
 public:
  explicit ScopedTimeouts(const HttpTimeouts& timeouts);
  ~ScopedTimeouts();
  ScopedTimeouts(const ScopedTimeouts&) = delete;
  ScopedTimeouts& operator=(const ScopedTimeouts&) = delete;

 private:
  HttpTimeouts m_previous;
};

// Makes the client layer trust the local test CA while the object lives.
class ScopedTestCa {
 public:
  ScopedTestCa();
  ~ScopedTestCa();
  ScopedTestCa(const ScopedTestCa&) = delete;
  ScopedTestCa& operator=(const ScopedTestCa&) = delete;
};

}  // namespace tarnlow::test

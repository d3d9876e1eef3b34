#include "tests/support/support.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include <brotli/encode.h>
#include <zlib.h>

#include "tests/support/certificates.h"
#include "text/codepage.h"

namespace tarnlow::test {
namespace {

// windowBits as zlib reads them: 31 gzip, 15 zlib, -15 raw.
std::string Deflate(std::string_view data, int windowBits) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, data.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnlow-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::Read(const std::filesystem::path& relative) const {
  return ReadFile(m_path / relative).value_or("");
}

bool TempDir::Exists(const std::filesystem::path& relative) const {
  std::error_code error;
  return std::filesystem::exists(m_path / relative, error);
}

std::filesystem::path TempDir::Write(const std::filesystem::path& relative,
                                     std::string_view bytes) const {
  const std::filesystem::path path = m_path / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
  return path;
}

std::string Gbk(std::string_view utf8) { return Utf8ToAnsi(utf8); }

std::optional<std::string> ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::optional<std::string> RealPage(const std::filesystem::path& relative) {
  const char* fromEnvironment = std::getenv("TARNLOW_REALPAGES");
  const std::filesystem::path folder = fromEnvironment != nullptr
                                           ? std::filesystem::path(fromEnvironment)
                                           : std::filesystem::path(TARNLOW_REALPAGES_DIR);
  return ReadFile(folder / relative);
}

std::string GzipBytes(std::string_view data) { return Deflate(data, 31); }
std::string ZlibBytes(std::string_view data) { return Deflate(data, 15); }
std::string RawDeflateBytes(std::string_view data) { return Deflate(data, -15); }

std::string BrotliBytes(std::string_view data) {
  std::string out(BrotliEncoderMaxCompressedSize(data.size()) + 64, '\0');
  std::size_t size = out.size();
  BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_GENERIC,
                        data.size(), reinterpret_cast<const std::uint8_t*>(data.data()), &size,
                        reinterpret_cast<std::uint8_t*>(out.data()));
  out.resize(size);
  return out;
}

std::string GzipOfZeros(std::size_t count) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
  const std::vector<char> zeros(std::size_t{1} << 20, '\0');
  std::string out;
  char buffer[1 << 16];
  std::size_t left = count;
  int flush = Z_NO_FLUSH;
  do {
    const std::size_t chunk = std::min(left, zeros.size());
    left -= chunk;
    flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    zs.avail_in = static_cast<uInt>(chunk);
    do {
      zs.next_out = reinterpret_cast<Bytef*>(buffer);
      zs.avail_out = sizeof buffer;
      deflate(&zs, flush);
      out.append(buffer, sizeof buffer - zs.avail_out);
    } while (zs.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&zs);
  return out;
}

ScopedTimeouts::ScopedTimeouts(const HttpTimeouts& timeouts) : m_previous(CurrentTimeouts()) {
  SetTimeoutsForTest(timeouts);
}

ScopedTimeouts::~ScopedTimeouts() { SetTimeoutsForTest(m_previous); }

ScopedTestCa::ScopedTestCa() { SetCaFileForTest(Certificates().caFile.string()); }

ScopedTestCa::~ScopedTestCa() { SetCaFileForTest(""); }

}  // namespace tarnlow::test

// What a server sends: ProcessResponse on a body and an answer header text,
// the content decoders on valid, cut and damaged streams, and DecodeEntities.
//
// Input: mode, separator, damage position, output cap, then the header text
// (one field) and the body. The low three bits of the mode pick a coding the
// body is compressed with before it is handed over (0 none, 1 gzip, 2 zlib,
// 3 raw deflate, 4 br); 8 cuts the stream at the damage position, 16 flips
// the byte there instead.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include <brotli/encode.h>
#include <zlib.h>

#include "fetch/content_decoding.h"
#include "fetch/fetch_page.h"
#include "fetch/http_client.h"
#include "tests/fuzz/fuzz_input.h"
#include "text/codepage.h"

namespace tarnlow::fuzz {
namespace {

enum Coding { kNone, kGzip, kZlib, kRawDeflate, kBrotli };

std::string Deflate(std::string_view data, int windowBits) {
  z_stream zs{};
  FUZZ_CHECK(deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) ==
             Z_OK);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 32, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  FUZZ_CHECK(deflate(&zs, Z_FINISH) == Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

std::string Brotli(std::string_view data) {
  std::string out(BrotliEncoderMaxCompressedSize(data.size()) + 64, '\0');
  std::size_t size = out.size();
  FUZZ_CHECK(BrotliEncoderCompress(1, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_GENERIC, data.size(),
                                   reinterpret_cast<const std::uint8_t*>(data.data()), &size,
                                   reinterpret_cast<std::uint8_t*>(out.data())));
  out.resize(size);
  return out;
}

std::string Compress(Coding coding, std::string_view data) {
  switch (coding) {
    case kGzip:
      return Deflate(data, 31);
    case kZlib:
      return Deflate(data, 15);
    case kRawDeflate:
      return Deflate(data, -15);
    case kBrotli:
      return Brotli(data);
    case kNone:
      break;
  }
  return std::string(data);
}

std::string Decode(Coding coding, std::string_view stream, std::size_t cap) {
  switch (coding) {
    case kGzip:
      return GunzipMember(stream, cap);
    case kZlib:
    case kRawDeflate:
      return InflateDeflate(stream, cap);
    case kBrotli:
      return BrotliDecode(stream, cap);
    case kNone:
      break;
  }
  return std::string(stream.substr(0, cap));
}

const char* CodingName(Coding coding) {
  switch (coding) {
    case kGzip:
      return "gzip";
    case kZlib:
    case kRawDeflate:
      return "deflate";
    case kBrotli:
      return "br";
    case kNone:
      break;
  }
  return "identity";
}

// The header text with a Content-Encoding line right after the status line,
// where it is the first one a reader finds.
std::string WithEncoding(std::string_view headers, std::string_view coding) {
  const std::size_t end = headers.find("\r\n");
  const std::string line = "\r\nContent-Encoding: " + std::string(coding);
  if (end == std::string_view::npos) return std::string(headers) + line;
  return std::string(headers.substr(0, end)) + line + std::string(headers.substr(end));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void CheckDecoders(Coding coding, std::string_view payload, std::string_view stream,
                   std::size_t cap) {
  // A whole stream gives the payload back, cut at any output cap.
  FUZZ_CHECK(Decode(coding, stream, kMaxBodyBytes) == payload);
  FUZZ_CHECK(Decode(coding, stream, cap) == payload.substr(0, cap));
  FUZZ_CHECK(DecodeContent(stream, CodingName(coding)) == payload);
}

void CheckProcessResponse(std::string_view body, std::string_view headers) {
  const std::string page = ShownText(ProcessResponse(body, headers));
  const std::string_view status = headers.substr(0, headers.find("\r\n"));
  if (headers.empty()) {
    FUZZ_CHECK(page == FetchFailedMarker() + "\r\n\r\n" + Gbk<" 网络异常">());
  } else if (status.find("200") == std::string_view::npos) {
    FUZZ_CHECK(page == FetchFailedMarker() + "\r\n\r\n" + std::string(status));
  } else {
    // A page never holds a line break or a zero byte, so it can never be
    // taken for a failure text.
    FUZZ_CHECK(page.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
  }
}

void CheckEntities(std::string_view text) {
  const std::string decoded = DecodeEntities(text);
  FUZZ_CHECK(decoded.size() <= text.size());
  FUZZ_CHECK(decoded.find_first_of("\r\n") == std::string::npos);
  if (text.find('&') == std::string_view::npos) {
    std::string flat;
    for (char c : text) {
      if (c != '\r' && c != '\n') flat += c;
    }
    FUZZ_CHECK(decoded == flat);
  }
}

}  // namespace
}  // namespace tarnlow::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlow;
  using namespace tarnlow::fuzz;
  Input in(data, size);
  const std::uint8_t mode = in.Byte();
  const char separator = static_cast<char>(in.Byte());
  const std::size_t damageAt = in.Byte();
  const std::size_t cap = in.Byte();
  const std::string_view headers = in.Field(separator);
  const std::string_view payload = in.Rest();

  const auto coding = static_cast<Coding>(std::min(mode & 7, 4));
  std::string stream = Compress(coding, payload);
  if (coding != kNone) CheckDecoders(coding, payload, stream, cap);

  if ((mode & 8) && damageAt < stream.size()) {
    stream.resize(damageAt);
    // What a cut stream gives is always the start of the payload. A zlib
    // stream cut inside its two-byte header reads as raw deflate.
    const std::string partial = Decode(coding, stream, kMaxBodyBytes);
    if (coding != kZlib || stream.size() >= 2) FUZZ_CHECK(StartsWith(payload, partial));
  } else if ((mode & 16) && damageAt < stream.size()) {
    stream[damageAt] = static_cast<char>(stream[damageAt] ^ 0x5A);
    FUZZ_CHECK(Decode(coding, stream, cap).size() <= cap);
  }

  CheckProcessResponse(stream, headers);
  const std::string coded = WithEncoding(headers, CodingName(coding));
  const std::string page = ShownText(ProcessResponse(stream, coded));
  // A whole stream reads as its payload would unencoded. A status line that
  // looks like a header line (which no client passes on) would be read as the
  // coding.
  const std::string_view status = headers.substr(0, headers.find("\r\n"));
  if (!(mode & 24) && !StartsWith(payload, "\x1F\x8B") &&
      status.find(':') == std::string_view::npos) {
    FUZZ_CHECK(page == ShownText(ProcessResponse(payload, WithEncoding(headers, "identity"))));
  }
  CheckEntities(payload);
  DecodeContent(stream, headers);
  return 0;
}

#include "fetch/content_decoding.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include <brotli/decode.h>
#include <zlib.h>

#include "fetch/http_client.h"
#include "text/text.h"

namespace tarnlow {
namespace {

constexpr std::size_t kStep = 4096;

// Appends at most what still fits under maxOutput; false once the cap is hit.
bool AppendCapped(std::string& out, const char* data, std::size_t size, std::size_t maxOutput) {
  const std::size_t room = maxOutput - std::min(maxOutput, out.size());
  out.append(data, std::min(size, room));
  return out.size() < maxOutput;
}

// Inflates in 4096-byte steps until the stream ends, the input runs out, the
// data turns out corrupt or the cap is reached. `whole`: the stream ended, or
// the cap was reached.
std::string Inflate(std::string_view in, int windowBits, std::size_t maxOutput, bool& whole) {
  std::string out;
  whole = false;
  z_stream zs{};
  if (inflateInit2(&zs, windowBits) != Z_OK) return out;
  const auto* next = reinterpret_cast<const Bytef*>(in.data());
  std::size_t left = in.size();
  char buffer[kStep];
  for (;;) {
    if (zs.avail_in == 0 && left > 0) {
      const auto chunk = static_cast<uInt>(std::min<std::size_t>(left, UINT_MAX));
      zs.next_in = const_cast<Bytef*>(next);
      zs.avail_in = chunk;
      next += chunk;
      left -= chunk;
    }
    zs.next_out = reinterpret_cast<Bytef*>(buffer);
    zs.avail_out = kStep;
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const std::size_t produced = kStep - zs.avail_out;
    if (!AppendCapped(out, buffer, produced, maxOutput)) {
      whole = true;
      break;
    }
    if (rc == Z_STREAM_END) whole = true;
    if (rc != Z_OK) break;  // stream end, corrupt data, or no progress possible
    if (zs.avail_in == 0 && left == 0 && zs.avail_out != 0) break;
  }
  inflateEnd(&zs);
  return out;
}

bool LooksLikeZlibHeader(std::string_view in) {
  if (in.size() < 2) return false;
  const auto cmf = static_cast<unsigned char>(in[0]);
  const auto flg = static_cast<unsigned char>(in[1]);
  return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && ((cmf << 8) | flg) % 31 == 0;
}

std::vector<std::string> EncodingTokens(std::string_view value) {
  std::vector<std::string> tokens;
  std::size_t pos = 0;
  while (pos <= value.size()) {
    std::size_t comma = value.find(',', pos);
    if (comma == std::string_view::npos) comma = value.size();
    const std::string_view token = TrimBlanks(value.substr(pos, comma - pos));
    if (!token.empty()) tokens.push_back(AsciiLower(token));
    pos = comma + 1;
  }
  return tokens;
}

bool HasGzipMagic(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
         static_cast<unsigned char>(bytes[1]) == 0x8B;
}

std::string Gunzip(std::string_view bytes, std::size_t maxOutput, bool& whole) {
  whole = false;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() < 10 || byte(0) != 0x1F || byte(1) != 0x8B) return {};
  const unsigned method = byte(2);
  const unsigned flags = byte(3);
  if (method != 8 || flags >= 32) return {};
  std::size_t pos = 10;  // magic, method, flags, mtime, extra flags, OS
  if (flags & 0x04) {    // FEXTRA
    if (pos + 2 > bytes.size()) return {};
    const std::size_t extraLength = byte(pos) | (byte(pos + 1) << 8);
    pos += 2 + extraLength;
  }
  for (const unsigned zeroTerminated : {0x08u, 0x10u}) {  // FNAME, FCOMMENT
    if (flags & zeroTerminated) {
      while (pos < bytes.size() && bytes[pos] != '\0') ++pos;
      ++pos;
    }
  }
  if (flags & 0x02) pos += 2;  // FHCRC
  if (pos >= bytes.size()) return {};
  return Inflate(bytes.substr(pos), -15, maxOutput, whole);
}

std::string Unbrotli(std::string_view bytes, std::size_t maxOutput, bool& whole) {
  std::string out;
  whole = false;
  BrotliDecoderState* state = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
  if (state == nullptr) return out;
  std::size_t availableIn = bytes.size();
  const auto* nextIn = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::uint8_t buffer[kStep];
  for (;;) {
    std::size_t availableOut = kStep;
    std::uint8_t* nextOut = buffer;
    const BrotliDecoderResult result = BrotliDecoderDecompressStream(
        state, &availableIn, &nextIn, &availableOut, &nextOut, nullptr);
    if (!AppendCapped(out, reinterpret_cast<const char*>(buffer), kStep - availableOut,
                      maxOutput)) {
      whole = true;
      break;
    }
    if (result == BROTLI_DECODER_RESULT_SUCCESS) whole = true;
    if (result != BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT) break;
  }
  BrotliDecoderDestroyInstance(state);
  return out;
}

}  // namespace

std::string GunzipMember(std::string_view bytes, std::size_t maxOutput) {
  bool whole;
  return Gunzip(bytes, maxOutput, whole);
}

std::string InflateDeflate(std::string_view bytes, std::size_t maxOutput) {
  bool whole;
  return Inflate(bytes, LooksLikeZlibHeader(bytes) ? 15 : -15, maxOutput, whole);
}

std::string BrotliDecode(std::string_view bytes, std::size_t maxOutput) {
  bool whole;
  return Unbrotli(bytes, maxOutput, whole);
}

std::string GunzipOrPass(std::string_view bytes) {
  if (!HasGzipMagic(bytes)) return std::string(bytes);
  return GunzipMember(bytes);
}

DecodedBody DecodeBody(std::string_view body, std::string_view contentEncoding) {
  const std::vector<std::string> tokens = EncodingTokens(contentEncoding);
  const bool needsDecoder = std::any_of(tokens.begin(), tokens.end(), [](const std::string& t) {
    return t == "deflate" || t == "br";
  });
  DecodedBody decoded;
  bool whole = true;
  if (!needsDecoder) {
    if (HasGzipMagic(body)) {
      decoded.bytes = Gunzip(body, kMaxBodyBytes, whole);
      decoded.whole = whole;
      return decoded;
    }
    decoded.bytes = std::string(body);
    // Passed on as it came; a body that claims a coding is not the page.
    decoded.whole = std::all_of(tokens.begin(), tokens.end(),
                                [](const std::string& t) { return t == "identity"; });
    return decoded;
  }

  std::string data(body);
  for (auto it = tokens.rbegin(); it != tokens.rend(); ++it) {
    if (*it == "br") {
      data = Unbrotli(data, kMaxBodyBytes, whole);
    } else if (*it == "deflate") {
      data = Inflate(data, LooksLikeZlibHeader(data) ? 15 : -15, kMaxBodyBytes, whole);
    } else if (*it == "gzip" || *it == "x-gzip") {
      if (HasGzipMagic(data)) {
        data = Gunzip(data, kMaxBodyBytes, whole);
      } else {
        whole = false;  // passed on as it came
      }
    } else if (*it != "identity") {
      decoded.whole = false;
      break;  // a coding nobody here can undo: keep what we have
    }
    decoded.whole = decoded.whole && whole;
  }
  decoded.bytes = std::move(data);
  return decoded;
}

std::string DecodeContent(std::string_view body, std::string_view contentEncoding) {
  return DecodeBody(body, contentEncoding).bytes;
}

}  // namespace tarnlow

#pragma once
// Decoders for the content codings a page may arrive in. Every decoder stops
// at kMaxBodyBytes of output, so a small compressed answer cannot expand into
// an unbounded page, and returns what it decoded so far on corrupt input.

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnlow {

inline constexpr std::size_t kMaxBodyBytes = std::size_t{64} << 20;

// A gzip member (RFC 1952), with the header parsed by hand.
std::string GunzipMember(std::string_view bytes, std::size_t maxOutput = kMaxBodyBytes);

// "deflate" coding: a zlib stream, or a raw deflate stream as sent by servers
// that read the name literally.
std::string InflateDeflate(std::string_view bytes, std::size_t maxOutput = kMaxBodyBytes);

// "br" coding.
std::string BrotliDecode(std::string_view bytes, std::size_t maxOutput = kMaxBodyBytes);

// The body as the page: decodes the codings named by the Content-Encoding
// value (last applied first) when it names deflate or br; otherwise a body
// that starts with the gzip magic is gunzipped and any other is passed on.
std::string DecodeContent(std::string_view body, std::string_view contentEncoding);

// DecodeContent, also telling whether the codings were undone whole. Not
// whole: a corrupt or cut stream, a body that claims a coding it is not in,
// a coding nobody here can undo. Output cut at the cap counts as whole.
struct DecodedBody {
  std::string bytes;
  bool whole = true;
};
DecodedBody DecodeBody(std::string_view body, std::string_view contentEncoding);

}  // namespace tarnlow

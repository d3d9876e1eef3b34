#include "fetch/content_decoding.h"

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "fetch/http_client.h"
#include "tests/support/support.h"

namespace tarnlow {
namespace {

using test::BrotliBytes;
using test::GzipBytes;
using test::RawDeflateBytes;
using test::ZlibBytes;

std::string SamplePage() {
  std::string page = "<html><head><title>t</title></head><body>";
  for (int i = 0; i < 2000; ++i) page += "<p>line " + std::to_string(i) + "</p>\r\n";
  return page + "</body></html>";
}

// A gzip member with every optional header field, built by hand around a
// raw deflate stream.
std::string GzipWithAllHeaderFields(const std::string& data) {
  // Flags 0x1E: header CRC, extra field, name, comment.
  std::string member = {'\x1f', '\x8b', 8, 0x1E, 0, 0, 0, 0, 0, 3};
  member += std::string("\x04\x00", 2) + "abcd";  // extra field of 4 bytes
  member += std::string("name.html\0", 10);
  member += std::string("a comment\0", 10);
  member += "\xAA\xBB";  // header CRC, not checked
  member += RawDeflateBytes(data);
  member += std::string(8, '\0');  // trailer, not checked
  return member;
}

TEST(GunzipOrPass, PassesPlainBytesAndDecodesGzip) {
  const std::string page = SamplePage();
  EXPECT_EQ(GunzipOrPass(page), page);
  EXPECT_EQ(GunzipOrPass(""), "");
  EXPECT_EQ(GunzipOrPass("\x1f"), "\x1f");
  EXPECT_EQ(GunzipOrPass(GzipBytes(page)), page);
  EXPECT_EQ(GunzipOrPass(GzipWithAllHeaderFields(page)), page);
}

TEST(GunzipOrPass, CorruptOrTruncatedGivesWhatWasDecoded) {
  const std::string page = SamplePage();
  const std::string gzip = GzipBytes(page);
  const std::string truncated = GunzipOrPass(gzip.substr(0, gzip.size() / 2));
  EXPECT_FALSE(truncated.empty());
  EXPECT_LT(truncated.size(), page.size());
  EXPECT_EQ(page.compare(0, truncated.size(), truncated), 0) << "not a prefix of the page";

  std::string badMethod = gzip;
  badMethod[2] = 7;
  EXPECT_EQ(GunzipOrPass(badMethod), "");
  std::string badFlags = gzip;
  badFlags[3] = 32;
  EXPECT_EQ(GunzipOrPass(badFlags), "");
  EXPECT_EQ(GunzipOrPass(gzip.substr(0, 10)), "");  // header only

  std::string corrupt = gzip;
  for (std::size_t i = 10; i < 20; ++i) corrupt[i] = '\xff';
  const std::string fromCorrupt = GunzipOrPass(corrupt);
  EXPECT_EQ(page.compare(0, fromCorrupt.size(), fromCorrupt), 0);
}

TEST(GunzipOrPass, DecompressionBombIsCutAtTheCap) {
  const auto started = std::chrono::steady_clock::now();
  const std::string bomb = test::GzipOfZeros(std::size_t{200} << 20);
  ASSERT_LT(bomb.size(), std::size_t{1} << 20);
  const std::string out = GunzipOrPass(bomb);
  EXPECT_EQ(out.size(), kMaxBodyBytes);
  EXPECT_EQ(out.find_first_not_of('\0'), std::string::npos);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST(ContentDecoding, DeflateBothWaysAndBrotli) {
  const std::string page = SamplePage();
  EXPECT_EQ(InflateDeflate(ZlibBytes(page)), page);
  EXPECT_EQ(InflateDeflate(RawDeflateBytes(page)), page);
  EXPECT_EQ(BrotliDecode(BrotliBytes(page)), page);

  const std::string br = BrotliBytes(page);
  const std::string truncated = BrotliDecode(br.substr(0, br.size() / 2));
  EXPECT_LT(truncated.size(), page.size());
  EXPECT_EQ(page.compare(0, truncated.size(), truncated), 0);
  EXPECT_EQ(BrotliDecode("not brotli at all"), "");
}

TEST(ContentDecoding, EveryDecoderStopsAtItsCap) {
  const std::string page = SamplePage();
  EXPECT_EQ(GunzipMember(GzipBytes(page), 1000), page.substr(0, 1000));
  EXPECT_EQ(InflateDeflate(ZlibBytes(page), 1000), page.substr(0, 1000));
  EXPECT_EQ(BrotliDecode(BrotliBytes(page), 1000), page.substr(0, 1000));
}

TEST(ContentDecoding, ContentEncodingChoosesTheDecoder) {
  const std::string page = SamplePage();
  EXPECT_EQ(DecodeContent(BrotliBytes(page), "br"), page);
  EXPECT_EQ(DecodeContent(BrotliBytes(page), " BR "), page);
  EXPECT_EQ(DecodeContent(ZlibBytes(page), "deflate"), page);
  EXPECT_EQ(DecodeContent(RawDeflateBytes(page), "Deflate"), page);
  EXPECT_EQ(DecodeContent(BrotliBytes(GzipBytes(page)), "gzip, br"), page);
  // Gzip is recognised by its magic bytes whatever the header says.
  EXPECT_EQ(DecodeContent(GzipBytes(page), ""), page);
  EXPECT_EQ(DecodeContent(GzipBytes(page), "gzip"), page);
  EXPECT_EQ(DecodeContent(page, ""), page);
  EXPECT_EQ(DecodeContent(page, "identity"), page);
  // A body that is not what its header claims decodes to nothing.
  EXPECT_EQ(DecodeContent(page, "br"), "");
}

}  // namespace
}  // namespace tarnlow

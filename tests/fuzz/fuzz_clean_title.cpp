// CleanTitle against the three steps done literally: after every deletion the
// search starts again from the beginning, through Find and its double-byte
// rule. The literal version is quadratic: run with -max_len=256.

#include <string>

#include "contents/clean_title.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/literal_clean_title.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlow;
  using namespace tarnlow::fuzz;
  const std::string title(reinterpret_cast<const char*>(data), size);
  int deletions = 0;
  const std::string expected = test::LiteralCleanTitle(title, &deletions);
  // The window is pumped once after each deletion.
  int pumps = 0;
  FUZZ_CHECK(CleanTitle(title, [&pumps] { ++pumps; }) == expected);
  FUZZ_CHECK(pumps == deletions);
  FUZZ_CHECK(CleanTitle(title) == expected);
  return 0;
}

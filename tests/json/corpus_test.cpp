// Replays the fuzzer's seed corpus through the fuzzer's own checks, so that every
// build runs them and a crash the fuzzer once found, kept as a seed, stays fixed.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "json_checks.h"
#include "test_util.h"

namespace varnok::json {
namespace {

TEST(FuzzCorpus, EverySeedPassesTheFuzzerChecks) {
  const std::filesystem::path corpus = VARNOK_FUZZ_CORPUS_DIR;
  ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus;
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(checks::CheckJsonInput(bytes), "") << entry.path().filename();
    ++seeds;
  }
  EXPECT_GT(seeds, 0) << "the seed corpus is empty";
}

// The largest double is written rounded to 15 digits, past the double range, and that
// text cannot be read back: the one exception the checks allow, and only for it.
TEST(FuzzCorpus, ChecksAllowOnlyNumbersWrittenPastTheDoubleRange) {
  EXPECT_EQ(checks::CheckJsonInput("{\"a\":[1,2.5,\"x\"]}"), "");
  EXPECT_EQ(checks::CheckJsonInput("[1.7976931348623157e308]"), "");
  EXPECT_EQ(checks::CheckJsonInput("{\"a\":[1,"), "");
  EXPECT_EQ(DecimalSeparatorSnapshot(), u'.');
}

}  // namespace
}  // namespace varnok::json

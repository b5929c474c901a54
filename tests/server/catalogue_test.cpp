#include "catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

namespace {

// GS1 check digit: weights 3 and 1 from the right, the digit completes a multiple of 10.
bool checkDigitValid(std::string_view code) {
  int sum = 0;
  for (std::size_t i = 0; i + 1 < code.size(); ++i) {
    const int digit = code[code.size() - 2 - i] - '0';
    sum += digit * (i % 2 == 0 ? 3 : 1);
  }
  return (10 - sum % 10) % 10 == code.back() - '0';
}

TEST(SampleCatalogue, CodesAreWhatTheKioskAsksFor) {
  std::set<std::string> codes;
  std::set<std::int64_t> ids;
  int ean13 = 0, ean8 = 0, scale = 0;
  for (const auto& entry : varnok::store::sampleCatalogue()) {
    const std::string code = entry.codigo;
    SCOPED_TRACE(code);
    ASSERT_EQ(code.size(), 13u);
    ASSERT_EQ(code.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_TRUE(codes.insert(code).second) << "codigo twice";
    EXPECT_TRUE(ids.insert(entry.id).second) << "id twice";
    EXPECT_FALSE(std::string(entry.nome).empty());
    EXPECT_GT(entry.precoVenda, 0);
    if (code.starts_with("000000000")) {
      ++scale;  // a four-digit scale item code, zero-padded
    } else if (code.starts_with("00000")) {
      ++ean8;
      EXPECT_TRUE(checkDigitValid(code.substr(5)));
    } else {
      ++ean13;
      EXPECT_TRUE(checkDigitValid(code));
    }
  }
  EXPECT_GE(ean13, 20);
  EXPECT_GE(ean8, 3);
  EXPECT_GE(scale, 5);
}

TEST(SampleCatalogue, CheckDigitRuleRecognisesKnownCodes) {
  EXPECT_TRUE(checkDigitValid("7891234567895"));
  EXPECT_FALSE(checkDigitValid("7891234567896"));
  EXPECT_TRUE(checkDigitValid("96385074"));
  EXPECT_FALSE(checkDigitValid("96385075"));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "varnok/request.h"
#include "varnok/token_suffix.h"

namespace varnok {
namespace {

struct DigestCase {
  std::u16string text;
  std::u16string hex;
};

class Md5HexOf : public testing::TestWithParam<DigestCase> {};

TEST_P(Md5HexOf, GivesUpperCaseHex) {
  EXPECT_EQ(Md5Hex(GetParam().text), GetParam().hex);
}

// The test suite of RFC 1321, then characters beyond ASCII, each hashed as '?'.
INSTANTIATE_TEST_SUITE_P(
    Cases, Md5HexOf,
    testing::Values(
        DigestCase{u"", u"D41D8CD98F00B204E9800998ECF8427E"},
        DigestCase{u"a", u"0CC175B9C0F1B6A831C399E269772661"},
        DigestCase{u"abc", u"900150983CD24FB0D6963F7D28E17F72"},
        DigestCase{u"message digest", u"F96B697D7CB7938D525A2F31AAF161D0"},
        DigestCase{u"abcdefghijklmnopqrstuvwxyz", u"C3FCD3D76192E4007DFB496CCA67E13B"},
        DigestCase{u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                   u"D174AB98D277D9F5A5611C2C9F419D9F"},
        DigestCase{u"1234567890123456789012345678901234567890123456789012345678901234567890123456"
                   u"7890",
                   u"57EDF4A22BE3C955AC49DA2E2107B67A"},
        DigestCase{u"?", u"D1457B72C3FB323A2671125AEF3EAB5D"},
        DigestCase{u"é", u"D1457B72C3FB323A2671125AEF3EAB5D"},
        DigestCase{u"😀", u"D1457B72C3FB323A2671125AEF3EAB5D"}));

std::u16string lowerCase(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') {
      c = static_cast<char16_t>(c - u'A' + u'a');
    }
  }
  return text;
}

constexpr LocalDateTime kNinthOfDecember2025{2025, 12, 9, 14, 3, 27};
constexpr LocalDateTime kTenthOfDecember2025{2025, 12, 10, 0, 0, 0};

struct TokenCase {
  std::u16string store;
  std::u16string resource;
  LocalDateTime today;
  std::u16string source;  // without the suffix
};

class TokenOf : public testing::TestWithParam<TokenCase> {};

TEST_P(TokenOf, IsBasicAndTheLowerCaseDigestOfItsSource) {
  const TokenCase& c = GetParam();
  const std::u16string header = authorizationHeader(c.store, c.resource, c.today);
  EXPECT_EQ(header, u"Basic" + lowerCase(Md5Hex(c.source + kTokenSuffix)));
  EXPECT_EQ(header.size(), 37u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenOf,
    testing::Values(TokenCase{u"quorvel", u"/app/buscaProduto", kNinthOfDecember2025,
                              u"quorvelbuscaProduto091225"},
                    TokenCase{u"quorvel", u"/app/salvarProdutoCheck", kNinthOfDecember2025,
                              u"quorvelsalvarProdutoCheck091225"},
                    TokenCase{u"quorvel", u"/app/buscaProduto", kTenthOfDecember2025,
                              u"quorvelbuscaProduto101225"},
                    TokenCase{u"Loja São", u"/app/buscaProduto", kNinthOfDecember2025,
                              u"Loja S?obuscaProduto091225"},
                    TokenCase{u"", u"buscaProduto", LocalDateTime{2001, 2, 3, 23, 59, 59},
                              u"buscaProduto030201"},
                    TokenCase{u"x", u"/app/", LocalDateTime{2100, 1, 31, 0, 0, 0}, u"x310100"}));

// Digests taken with another MD5 program for the default suffix, so that the token is
// also checked without going through Md5Hex.
TEST(Token, MatchesDigestsTakenElsewhereForTheDefaultSuffix) {
  if (std::u16string_view(kTokenSuffix) != u"_varnokchk") {
    GTEST_SKIP() << "built with another token suffix";
  }
  EXPECT_EQ(authorizationHeader(u"quorvel", u"/app/buscaProduto", kNinthOfDecember2025),
            u"Basic9dbc8440e763e8a0fe79703544720ee7");
  EXPECT_EQ(authorizationHeader(u"quorvel", u"/app/salvarProdutoCheck", kNinthOfDecember2025),
            u"Basic1a55fb2c8888ebe95e71254f390f6665");
  EXPECT_EQ(authorizationHeader(u"Loja São", u"/app/buscaProduto", kNinthOfDecember2025),
            u"Basicc0c7a89ab79eac97070bfffde5d4626d");
  EXPECT_EQ(authorizationHeader(u"quorvel", u"/app/buscaProduto", kTenthOfDecember2025),
            u"Basic704ec846a5f1f28e65bc1d927cd62e0a");
}

}  // namespace
}  // namespace varnok

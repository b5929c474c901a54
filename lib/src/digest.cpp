#include <openssl/evp.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "varnok/request.h"
#include "varnok/token_suffix.h"

namespace varnok {
namespace {

struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

// The token is hashed one byte per character: ASCII as itself, anything else as '?'.
// A surrogate pair is one character and so one '?'.
std::string tokenBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      bytes.push_back(static_cast<char>(c));
      continue;
    }
    bytes.push_back('?');
    const bool highSurrogate = c >= 0xD800 && c <= 0xDBFF;
    if (highSurrogate && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
    }
  }
  return bytes;
}

void check(int status, const char* what) {
  if (status != 1) {
    throw std::runtime_error(std::string("MD5 ") + what + " failed");
  }
}

char16_t hexDigit(unsigned value, char16_t firstLetter) {
  return value < 10 ? static_cast<char16_t>(u'0' + value)
                    : static_cast<char16_t>(firstLetter + (value - 10));
}

std::u16string twoDigits(int value) {
  return {static_cast<char16_t>(u'0' + value / 10 % 10), static_cast<char16_t>(u'0' + value % 10)};
}

}  // namespace

std::u16string Md5Hex(std::u16string_view text) {
  const std::string bytes = tokenBytes(text);
  DigestContext context(EVP_MD_CTX_new());
  if (!context) {
    throw std::runtime_error("MD5 context could not be created");
  }
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned length = 0;
  check(EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr), "init");
  check(EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()), "update");
  check(EVP_DigestFinal_ex(context.get(), digest.data(), &length), "final");

  std::u16string hex;
  hex.reserve(2 * length);
  for (unsigned i = 0; i < length; ++i) {
    hex.push_back(hexDigit(digest[i] >> 4, u'A'));
    hex.push_back(hexDigit(digest[i] & 0x0F, u'A'));
  }
  return hex;
}

std::u16string authorizationHeader(std::u16string_view store, std::u16string_view resource,
                                   const LocalDateTime& today) {
  const std::size_t lastSlash = resource.rfind(u'/');
  const std::u16string_view segment =
      lastSlash == std::u16string_view::npos ? resource : resource.substr(lastSlash + 1);

  std::u16string source(store);
  source += segment;
  source += twoDigits(today.day) + twoDigits(today.month) + twoDigits(today.year % 100);
  source += kTokenSuffix;

  std::u16string header = u"Basic";
  for (char16_t c : Md5Hex(source)) {
    header.push_back(c >= u'A' && c <= u'F' ? static_cast<char16_t>(c - u'A' + u'a') : c);
  }
  return header;
}

}  // namespace varnok

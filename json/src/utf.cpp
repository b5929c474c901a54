// UTF-8 <-> UTF-16 at the edges of the program. Ill-formed input never fails: it
// becomes U+FFFD, one for each maximal ill-formed subpart (the Unicode recommendation,
// so that a broken byte never swallows the characters after it).
#include "varnok/utf.h"

#include <cstdint>

namespace varnok::json {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// The range the second byte of a sequence must fall in, which excludes overlong forms,
// surrogates and values above U+10FFFF; later bytes are always 80 to BF.
struct LeadInfo {
  int length;  // 0 for a byte that cannot start a sequence
  std::uint8_t low;
  std::uint8_t high;
};

LeadInfo InfoOf(std::uint8_t lead) noexcept {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

void AppendCodePoint(std::u16string& out, std::uint32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t lead = bytes[i];
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    const LeadInfo info = InfoOf(lead);
    if (info.length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    std::uint32_t cp = lead & (0xFF >> (info.length + 1));
    std::size_t k = 1;
    for (; k < static_cast<std::size_t>(info.length); ++k) {
      if (i + k >= n) break;
      const std::uint8_t b = bytes[i + k];
      const std::uint8_t low = k == 1 ? info.low : 0x80;
      const std::uint8_t high = k == 1 ? info.high : 0xBF;
      if (b < low || b > high) break;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (k == static_cast<std::size_t>(info.length)) {
      AppendCodePoint(out, cp);
    } else {
      // The bytes read so far form one maximal subpart; the byte that broke the
      // sequence is read again as the start of the next one.
      out += kReplacement;
    }
    i += k;
  }
  return out;
}

std::string ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  const std::size_t n = utf16.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = utf16[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && utf16[i + 1] >= 0xDC00 &&
               utf16[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<std::uint32_t>(c) - 0xD800) << 10) +
                          (static_cast<std::uint32_t>(utf16[i + 1]) - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace varnok::json

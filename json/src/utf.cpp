// UTF-8 <-> UTF-16 at the edges of the program. Ill-formed input never fails: it
// becomes U+FFFD, one for each maximal ill-formed subpart (the Unicode recommendation,
// so that a broken byte never swallows the characters after it).
#include "varnok/utf.h"

#include <cstdint>
#include <cstring>

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

char16_t* AppendCodePoint(char16_t* out, std::uint32_t cp) {
  if (cp < 0x10000) {
    *out++ = static_cast<char16_t>(cp);
  } else {
    // Four bytes give two code units, so the output never outgrows the input.
    cp -= 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
  return out;
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
  // Never more code units than bytes; the text is cut to its length at the end.
  std::u16string out(utf8.size(), u'\0');
  char16_t* o = out.data();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    // ASCII eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      for (int k = 0; k < 8; ++k) o[k] = bytes[i + k];
      o += 8;
      i += 8;
    }
    if (i >= n) break;
    const std::uint8_t lead = bytes[i];
    if (lead < 0x80) {
      *o++ = lead;
      ++i;
      continue;
    }
    const LeadInfo info = InfoOf(lead);
    if (info.length == 0) {
      *o++ = kReplacement;
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
      o = AppendCodePoint(o, cp);
    } else {
      // The bytes read so far form one maximal subpart; the byte that broke the
      // sequence is read again as the start of the next one.
      *o++ = kReplacement;
    }
    i += k;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

std::string ToUtf8(std::u16string_view utf16) {
  // Texts the writer makes are pure ASCII: they are narrowed eight units at a time
  // until the first other character, and only the rest takes the general path.
  const std::size_t n = utf16.size();
  std::string out(n, '\0');
  std::size_t ascii = 0;
  while (ascii + 8 <= n) {
    unsigned any = 0;
    for (int k = 0; k < 8; ++k) any |= utf16[ascii + k];
    if (any >= 0x80) break;
    for (int k = 0; k < 8; ++k) out[ascii + k] = static_cast<char>(utf16[ascii + k]);
    ascii += 8;
  }
  while (ascii < n && utf16[ascii] < 0x80) {
    out[ascii] = static_cast<char>(utf16[ascii]);
    ++ascii;
  }
  if (ascii == n) return out;
  out.resize(ascii);
  out.reserve(ascii + 3 * (n - ascii));
  std::size_t i = ascii;
  while (i < n) {
    // Runs of ASCII go through a small buffer in one append each.
    if (utf16[i] < 0x80) {
      char buffer[256];
      std::size_t count = 0;
      while (i < n && utf16[i] < 0x80 && count < sizeof buffer) {
        buffer[count++] = static_cast<char>(utf16[i++]);
      }
      out.append(buffer, count);
      continue;
    }
    const char16_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<std::uint32_t>(c) - 0xD800) << 10) +
                          (static_cast<std::uint32_t>(utf16[i + 1]) - 0xDC00));
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
      ++i;
    } else {
      AppendUtf8(out, c);
      ++i;
    }
  }
  return out;
}

}  // namespace varnok::json

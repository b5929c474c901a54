#include "varnok/codepage.h"

#include <array>

namespace varnok {
namespace {

// Windows-1252 is Latin-1 except for 0x80 to 0x9F, where it holds typographic marks.
// Its five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of
// the same value, as Windows converts them, so every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

bool isHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

char toByte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    return static_cast<char>(c);
  }
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

}  // namespace

std::string toWindows1252(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A character outside the Basic Multilingual Plane is one character, so one '?'.
    if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      bytes.push_back('?');
      ++i;
      continue;
    }
    bytes.push_back(toByte(text[i]));
  }
  return bytes;
}

std::u16string fromWindows1252(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    text.push_back(b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : static_cast<char16_t>(b));
  }
  return text;
}

}  // namespace varnok

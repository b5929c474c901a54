// Conversions between JSON number texts and numbers. JSON text always uses '.' as the
// decimal point whatever the regional settings; the readers also accept the regional
// decimal separator (as it was when the last node was created) in its place.
//
// Integer form (JsonToInteger), the whole text:
//   ' '* [+-]? ( digit+                      within the signed 64-bit range
//              | ('$'|'x'|'X'|"0x"|"0X") hex+ fitting in 64 bits, two's complement )
// Number form (TryJsonToFloat), after every '.' is replaced by the separator D:
//   ' '* [+-]? digit* (D digit*)? ([eE] [+-]? digit+)? ' '*
//   with at least one mantissa digit and an exponent value of at most 1024.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "internal.h"
#include "varnok/json.h"

namespace varnok::json {
namespace {

std::atomic<char16_t> gRegionalDecimalSeparator{u'.'};
std::atomic<char16_t> gDecimalSeparatorSnapshot{u'.'};

bool IsDigit(char16_t c) noexcept {
  return c >= u'0' && c <= u'9';
}

int HexDigitValue(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Hexadecimal digits to the end of the text, as a 64-bit pattern; false when there are
// none, when another character follows or when the value needs more than 64 bits.
bool ReadHex(std::u16string_view digits, std::uint64_t& bits) noexcept {
  if (digits.empty()) return false;
  bits = 0;
  for (char16_t c : digits) {
    const int d = HexDigitValue(c);
    if (d < 0 || (bits >> 60) != 0) return false;
    bits = (bits << 4) | static_cast<std::uint64_t>(d);
  }
  return true;
}

// Decimal digits to the end of the text; false when there are none, when another
// character follows or when the magnitude exceeds limit.
bool ReadDecimal(std::u16string_view digits, std::uint64_t limit, std::uint64_t& value) noexcept {
  if (digits.empty()) return false;
  value = 0;
  for (char16_t c : digits) {
    if (!IsDigit(c)) return false;
    const auto d = static_cast<std::uint64_t>(c - u'0');
    if (value > (limit - d) / 10) return false;
    value = value * 10 + d;
  }
  return true;
}

std::u16string Quoted(std::u16string_view text, std::u16string_view rest) {
  std::u16string message;
  message.reserve(text.size() + rest.size() + 2);
  message += u'\'';
  message += text;
  message += u'\'';
  message += rest;
  return message;
}

// The number form of the header comment. Replacing every '.' by the separator and then
// accepting only the separator is the same as accepting either, which is what happens
// here. On success
// the value has the sign applied; a result beyond the double range is no number.
bool ReadNumber(std::u16string_view s, char16_t point, double& value) noexcept {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n && s[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  const std::size_t intBegin = i;
  while (i < n && IsDigit(s[i])) ++i;
  const std::size_t intEnd = i;
  std::size_t fracBegin = i;
  std::size_t fracEnd = i;
  if (i < n && (s[i] == point || s[i] == u'.')) {
    fracBegin = ++i;
    while (i < n && IsDigit(s[i])) ++i;
    fracEnd = i;
  }
  if (intEnd == intBegin && fracEnd == fracBegin) return false;
  int exponent = 0;
  if (i < n && (s[i] == u'e' || s[i] == u'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) negativeExponent = s[i++] == u'-';
    const std::size_t expBegin = i;
    while (i < n && IsDigit(s[i])) {
      exponent = exponent * 10 + (s[i] - u'0');
      if (exponent > 1024) return false;
      ++i;
    }
    if (i == expBegin) return false;
    if (negativeExponent) exponent = -exponent;
  }
  while (i < n && s[i] == u' ') ++i;
  if (i != n) return false;

  // The digits in the form from_chars reads, which never depends on the locale; on the
  // stack unless the text is long.
  char local[96];
  std::string heap;
  const std::size_t capacity = (intEnd - intBegin) + (fracEnd - fracBegin) + 16;
  char* text = local;
  if (capacity > sizeof local) {
    heap.resize(capacity);
    text = heap.data();
  }
  char* out = text;
  if (negative) *out++ = '-';
  for (std::size_t k = intBegin; k < intEnd; ++k) *out++ = static_cast<char>(s[k]);
  if (intEnd == intBegin) *out++ = '0';
  if (fracEnd > fracBegin) {
    *out++ = '.';
    for (std::size_t k = fracBegin; k < fracEnd; ++k) *out++ = static_cast<char>(s[k]);
  }
  if (exponent != 0) {
    *out++ = 'e';
    out = std::to_chars(out, text + capacity, exponent).ptr;
  }
  double result = 0.0;
  const auto [end, error] = std::from_chars(text, out, result);
  if (error == std::errc::result_out_of_range) {
    // Too large, or nearer to zero than the smallest double. Where the first significant
    // digit stands tells which: a tiny number reads as zero, a huge one is no number.
    std::size_t k = intBegin;
    while (k < intEnd && s[k] == u'0') ++k;
    long magnitude = 0;
    if (k < intEnd) {
      magnitude = static_cast<long>(intEnd - k);
    } else {
      std::size_t f = fracBegin;
      while (f < fracEnd && s[f] == u'0') ++f;
      magnitude = -static_cast<long>(f - fracBegin);
    }
    if (magnitude + exponent > 0) return false;
    value = negative ? -0.0 : 0.0;
    return true;
  }
  if (error != std::errc() || end != out || !std::isfinite(result)) {
    return false;
  }
  value = result;
  return true;
}

// The text after every '.' is replaced by the separator (step one of the number form).
std::u16string WithSeparator(std::u16string_view text, char16_t separator) {
  std::u16string replaced(text);
  if (separator != u'.') {
    for (char16_t& c : replaced) {
      if (c == u'.') c = separator;
    }
  }
  return replaced;
}

}  // namespace

void SetRegionalDecimalSeparator(char16_t separator) noexcept {
  gRegionalDecimalSeparator.store(separator, std::memory_order_relaxed);
}

char16_t RegionalDecimalSeparator() noexcept {
  return gRegionalDecimalSeparator.load(std::memory_order_relaxed);
}

char16_t DecimalSeparatorSnapshot() noexcept {
  return gDecimalSeparatorSnapshot.load(std::memory_order_relaxed);
}

namespace detail {

void RefreshDecimalSeparatorSnapshot() noexcept {
  gDecimalSeparatorSnapshot.store(gRegionalDecimalSeparator.load(std::memory_order_relaxed),
                                  std::memory_order_relaxed);
}

bool TryJsonToInteger(std::u16string_view text, std::int64_t& value) noexcept {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  const std::u16string_view rest = text.substr(i);
  std::size_t prefix = 0;
  if (!rest.empty() && (rest[0] == u'$' || rest[0] == u'x' || rest[0] == u'X')) {
    prefix = 1;
  } else if (rest.size() >= 2 && rest[0] == u'0' && (rest[1] == u'x' || rest[1] == u'X')) {
    prefix = 2;
  }
  std::uint64_t magnitude = 0;
  if (prefix > 0) {
    if (!ReadHex(rest.substr(prefix), magnitude)) return false;
    // The bits are a two's-complement pattern; unsigned negation keeps them so.
    if (negative) magnitude = ~magnitude + 1;
    value = static_cast<std::int64_t>(magnitude);
    return true;
  }
  const std::uint64_t limit =
      negative ? std::uint64_t{1} << 63 : std::uint64_t{std::numeric_limits<std::int64_t>::max()};
  if (!ReadDecimal(rest, limit, magnitude)) return false;
  value =
      negative ? static_cast<std::int64_t>(~magnitude + 1) : static_cast<std::int64_t>(magnitude);
  return true;
}

char16_t* WriteInteger(char16_t* out, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  for (const char* p = buffer; p < result.ptr; ++p) *out++ = static_cast<char16_t>(*p);
  return out;
}

// General format with 15 significant digits, trailing zeros dropped: fixed notation
// for decimal exponents -3 to 15 (writing the value as 0.d1d2... times ten to the
// power E), scientific notation otherwise. A NaN or an infinity has no JSON form and is
// written as null, so that the text stays readable.
char16_t* WriteFloat(char16_t* out, double value) {
  if (!std::isfinite(value)) {
    for (const char16_t c : std::u16string_view(u"null")) *out++ = c;
    return out;
  }
  if (value == 0.0) {
    *out++ = u'0';
    return out;
  }
  // The digits and exponent of "d.ddde[+-]x" as to_chars writes it, whatever the locale.
  // The shortest text that reads back as the value is tried first, being much quicker
  // to find than the rounding. When it has at most 15 digits it is also the value
  // rounded to 15 digits: a normal double lies within half a unit in its last place of
  // that text, which is far less than half a unit in the 15th digit. Subnormal doubles
  // have fewer bits, so they always take the rounding.
  char buffer[40];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const char* const begin = buffer;
  const char* mantissaEnd = std::find(begin, static_cast<const char*>(result.ptr), 'e');
  const std::ptrdiff_t shortestDigits = (mantissaEnd - begin) - (buffer[0] == '-' ? 1 : 0) -
                                        (std::find(begin, mantissaEnd, '.') != mantissaEnd);
  if (shortestDigits > 15 || std::fabs(value) < std::numeric_limits<double>::min()) {
    result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  }
  const char* p = buffer;
  if (*p == '-') {
    *out++ = u'-';
    ++p;
  }
  char digits[17];
  int count = 0;
  digits[count++] = *p++;
  if (*p == '.') ++p;
  while (*p != 'e') digits[count++] = *p++;
  ++p;
  int exponent = 0;
  std::from_chars(*p == '+' ? p + 1 : p, result.ptr, exponent);
  while (count > 1 && digits[count - 1] == '0') --count;
  const int e = exponent + 1;
  if (e >= -3 && e <= 15) {
    if (e <= 0) {
      *out++ = u'0';
      *out++ = u'.';
      for (int k = 0; k < -e; ++k) *out++ = u'0';
      for (int k = 0; k < count; ++k) *out++ = static_cast<char16_t>(digits[k]);
    } else {
      for (int k = 0; k < e; ++k) *out++ = k < count ? static_cast<char16_t>(digits[k]) : u'0';
      if (count > e) {
        *out++ = u'.';
        for (int k = e; k < count; ++k) *out++ = static_cast<char16_t>(digits[k]);
      }
    }
    return out;
  }
  *out++ = static_cast<char16_t>(digits[0]);
  if (count > 1) {
    *out++ = u'.';
    for (int k = 1; k < count; ++k) *out++ = static_cast<char16_t>(digits[k]);
  }
  *out++ = u'E';
  return WriteInteger(out, exponent);
}

void AppendInteger(std::u16string& out, std::int64_t value) {
  char16_t buffer[kLongestNumber];
  out.append(buffer, WriteInteger(buffer, value));
}

void AppendFloat(std::u16string& out, double value) {
  char16_t buffer[kLongestNumber];
  out.append(buffer, WriteFloat(buffer, value));
}

}  // namespace detail

std::u16string FloatToJson(double value) {
  std::u16string text;
  detail::AppendFloat(text, value);
  return text;
}

std::int64_t JsonToInteger(std::u16string_view text) {
  std::int64_t value = 0;
  if (!detail::TryJsonToInteger(text, value)) {
    throw JsonError(Quoted(text, u" is not a valid integer value"));
  }
  return value;
}

bool TryJsonToFloat(std::u16string_view text, double& value) noexcept {
  return ReadNumber(text, DecimalSeparatorSnapshot(), value);
}

double JsonToFloat(std::u16string_view text) {
  const char16_t separator = DecimalSeparatorSnapshot();
  double value = 0.0;
  if (!ReadNumber(text, separator, value)) {
    throw JsonError(
        Quoted(WithSeparator(text, separator), u" is not a valid floating point value"));
  }
  return value;
}

}  // namespace varnok::json

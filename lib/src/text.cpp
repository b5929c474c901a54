#include "varnok/text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

#include "varnok/regional.h"

namespace varnok {
namespace {

bool isBlank(char16_t c) noexcept {
  return c <= u' ';
}
bool isDigit(char16_t c) noexcept {
  return c >= u'0' && c <= u'9';
}

// The digits of |value| as std::to_chars writes them shortest, with the power of ten of
// the first digit: 0.3125 gives {"3125", -1}, 1250 gives {"125", 3}.
struct DecimalDigits {
  std::string digits;
  int exponent = 0;
};

DecimalDigits shortestDigits(double magnitude) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  // Scientific form: d[.ddd]e±xx
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  DecimalDigits out;
  for (const char c : text.substr(0, e)) {
    if (c != '.') out.digits.push_back(c);
  }
  out.exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  return out;
}

// Adds one to a string of decimal digits, growing it on a carry out of the front.
void incrementDigits(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

// round(magnitude * 10^decimals), half away from zero, as decimal digits (possibly
// with leading zeros, possibly empty for zero).
std::string scaledRoundedDigits(double magnitude, int decimals) {
  if (magnitude == 0) return {};
  const DecimalDigits d = shortestDigits(magnitude);
  // Number of leading digits of d.digits that stay in front of the rounding position.
  const long keep = static_cast<long>(d.exponent) + 1 + decimals;
  if (keep < 0) return {};
  std::string kept = d.digits.substr(
      0, static_cast<std::size_t>(std::min<long>(keep, static_cast<long>(d.digits.size()))));
  if (keep > static_cast<long>(d.digits.size())) {
    kept.append(static_cast<std::size_t>(keep) - d.digits.size(), '0');
  }
  if (keep < static_cast<long>(d.digits.size()) &&
      d.digits[static_cast<std::size_t>(keep)] >= '5') {
    incrementDigits(kept);
  }
  return kept;
}

}  // namespace

std::u16string_view trimBlanks(std::u16string_view text) noexcept {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string ZeroPad(std::u16string_view text, int width) {
  std::u16string result(trimBlanks(text));
  if (static_cast<long>(result.size()) < width) {
    result.insert(0, static_cast<std::size_t>(width) - result.size(), u'0');
  }
  return result;
}

std::u16string TrimZeroDecimals(std::u16string_view text) {
  const std::size_t comma = text.find(u',');
  if (comma == std::u16string_view::npos) return std::u16string(text);
  const std::optional<double> decimals = readRegionalNumber(text.substr(comma + 1));
  if (decimals && std::round(*decimals) == 0) return std::u16string(text.substr(0, comma));
  return std::u16string(text);
}

std::u16string formatFixed(double value, int decimals) {
  if (std::isnan(value)) return u"NAN";
  if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
  if (decimals < 0) decimals = 0;

  std::string digits = scaledRoundedDigits(std::fabs(value), decimals);
  const std::size_t firstNonZero = digits.find_first_not_of('0');
  const bool isZero = firstNonZero == std::string::npos;
  digits.erase(0, isZero ? digits.size() : firstNonZero);
  // At least one integer digit in front of the decimals.
  const std::size_t minimum = static_cast<std::size_t>(decimals) + 1;
  if (digits.size() < minimum) digits.insert(0, minimum - digits.size(), '0');

  std::u16string out;
  out.reserve(digits.size() + 2);
  if (value < 0 && !isZero) out.push_back(u'-');
  const std::size_t integerDigits = digits.size() - static_cast<std::size_t>(decimals);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i == integerDigits) out.push_back(regionalSettings().decimalSeparator);
    out.push_back(static_cast<char16_t>(digits[i]));
  }
  return out;
}

std::optional<double> readRegionalNumber(std::u16string_view text) {
  text = trimBlanks(text);
  const char16_t separator = regionalSettings().decimalSeparator;
  // Rewritten in the form std::from_chars reads: '.' as the separator, no '+'.
  std::string plain;
  plain.reserve(text.size());
  std::size_t i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') plain.push_back('-');
    ++i;
  }
  bool mantissaDigits = false;
  bool separatorSeen = false;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (isDigit(c)) {
      mantissaDigits = true;
      plain.push_back(static_cast<char>(c));
    } else if (c == separator && !separatorSeen) {
      separatorSeen = true;
      plain.push_back('.');
    } else {
      break;
    }
  }
  if (!mantissaDigits) return std::nullopt;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    plain.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
      plain.push_back(static_cast<char>(text[i]));
      ++i;
    }
    bool exponentDigits = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
      exponentDigits = true;
      plain.push_back(static_cast<char>(text[i]));
    }
    if (!exponentDigits) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;

  double value = 0;
  const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (result.ec != std::errc() || result.ptr != plain.data() + plain.size()) return std::nullopt;
  return value;
}

}  // namespace varnok

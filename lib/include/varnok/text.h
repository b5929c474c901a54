// Text helpers of the scan path: trimming, zero padding and regional number text.
#pragma once

#include <string>
#include <string_view>

namespace varnok {

// Removes every code unit from U+0000 to U+0020 from both ends.
std::u16string_view trimBlanks(std::u16string_view text) noexcept;

// The trimmed text with "0" put in front until it is width characters long.
std::u16string ZeroPad(std::u16string_view text, int width);

// "1,000" -> "1": drops the part after the first comma when it reads as zero.
std::u16string TrimZeroDecimals(std::u16string_view text);

// value with exactly `decimals` decimals, at least one integer digit, the regional
// decimal separator and no thousands separator (the patterns "0.00" and "0.000").
std::u16string formatFixed(double value, int decimals);

}  // namespace varnok

// Text helpers of the scan path: trimming, zero padding and regional number text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnok {

// Removes every code unit from U+0000 to U+0020 from both ends.
std::u16string_view trimBlanks(std::u16string_view text) noexcept;

// The trimmed text with "0" put in front until it is width characters long. A trimmed
// text that is already width characters or longer comes back as it is, never cut.
std::u16string ZeroPad(std::u16string_view text, int width);

// "1,000" -> "1": drops the part after the first comma when it reads as zero. The comma
// is sought whatever the regional separator is. A part after the comma that does not
// read as a number leaves the text unchanged.
std::u16string TrimZeroDecimals(std::u16string_view text);

// value with exactly `decimals` decimals, at least one integer digit, the regional
// decimal separator and no thousands separator (the patterns "0.00" and "0.000").
//
// Rounding is half away from zero on the shortest decimal text that reads back as the
// same double (what std::to_chars gives), not on the binary value: 1.0005 is stored as
// 1.000499999..., but it was written and is shown as 1.0005, so it becomes "1.001".
// A result that rounds to zero carries no minus sign. Infinities and NaN, which no
// caller passes, come out as "INF", "-INF" and "NAN".
std::u16string formatFixed(double value, int decimals);

// Reads a number written with the regional decimal separator: blanks around it, an
// optional sign, digits with at most one separator, an optional exponent ("e" or "E",
// optional sign, digits). No thousands separator, no "." when the regional separator
// is another character. Empty when the text does not read so or is out of range.
std::optional<double> readRegionalNumber(std::u16string_view text);

}  // namespace varnok

// Decoding of a complete 13-digit scan: barcode family, product code, short code and
// the weight of a scale label.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "varnok/settings.h"

namespace varnok {

// Scale labels are in-store labels whose first digit is "2".
bool IsScaleLabel(std::u16string_view buffer) noexcept;

// The 13-character code the server is asked for; reads settings.Tamanho. A scale label
// gives its Tamanho digits after the leading "2" (none for 0 or less, all 12 for more),
// zero-padded in front; any other buffer is its own product code.
std::u16string DeriveProductCode(std::u16string_view buffer, const KioskSettings& settings);

// The weight of the label, rounded to three decimals, from the label value (the five
// characters from the 8th on). settings.Tipo "T": label value / 100 / unitPrice (the
// value is a total price in cents); "P": label value / 1000 (the value is in grams).
//
// Any other Tipo (the comparison is case-sensitive, so "t" is other) computes no weight:
// the result is empty, and the kiosk then shows and reports the weight 0.
//
// Throws std::domain_error when Tipo is "T" and unitPrice is zero (0/0 included), with
// the message "Divisão por zero ao calcular o peso (preço unitário 0)"; std::range_error
// "Resultado fora do intervalo ao calcular o peso" when the quotient is no finite number (a
// unit price too close to zero, or not a number); std::invalid_argument when the label
// value is not made of digits, which a buffer of the key handler never is.
std::optional<double> ComputeLabelWeight(std::u16string_view buffer, double unitPrice,
                                         const KioskSettings& settings);

}  // namespace varnok

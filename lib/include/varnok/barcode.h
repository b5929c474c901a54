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

// The 13-character code the server is asked for; reads settings.Tamanho.
std::u16string DeriveProductCode(std::u16string_view buffer, const KioskSettings& settings);

// The weight of the label, rounded to three decimals, or none when settings.Tipo is
// neither "T" nor "P". With "T" a zero unit price throws std::domain_error.
std::optional<double> ComputeLabelWeight(std::u16string_view buffer, double unitPrice,
                                         const KioskSettings& settings);

}  // namespace varnok

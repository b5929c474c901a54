#include "varnok/barcode.h"

#include <QString>
#include <cmath>
#include <stdexcept>

#include "varnok/text.h"

namespace varnok {
namespace {

constexpr std::size_t kProductCodeLength = 13;
// The label value: five characters from the 8th on (0-based offset 7).
constexpr std::size_t kLabelValueOffset = 7;
constexpr std::size_t kLabelValueLength = 5;

// The five value digits of a label as a whole number.
double labelValue(std::u16string_view buffer) {
  const std::u16string_view digits =
      buffer.substr(std::min(kLabelValueOffset, buffer.size()), kLabelValueLength);
  bool digitsOnly = !digits.empty();
  double value = 0;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') {
      digitsOnly = false;
      break;
    }
    value = value * 10 + (c - u'0');
  }
  if (!digitsOnly) {
    const QString text = QString::fromUtf16(digits.data(), qsizetype(digits.size()));
    throw std::invalid_argument("Valor da etiqueta inválido: '" + text.toStdString() + "'");
  }
  return value;
}

// Rounds to three decimals the way the weight is shown: written with the pattern
// "0.000", passed through TrimZeroDecimals and read back.
double roundedWeight(double raw) {
  const std::u16string text = TrimZeroDecimals(formatFixed(raw, 3));
  const std::optional<double> value = readRegionalNumber(text);
  if (!value) throw std::range_error("Resultado fora do intervalo ao calcular o peso");
  return *value;
}

}  // namespace

bool IsScaleLabel(std::u16string_view buffer) noexcept {
  return !buffer.empty() && buffer.front() == u'2';
}

std::u16string DeriveProductCode(std::u16string_view buffer, const KioskSettings& settings) {
  if (!IsScaleLabel(buffer)) return std::u16string(buffer);
  // Tamanho digits after the leading "2"; none for zero or less.
  const std::size_t count = settings.Tamanho > 0 ? static_cast<std::size_t>(settings.Tamanho) : 0;
  const std::u16string_view itemCode = buffer.substr(1, count);
  if (itemCode.size() < kProductCodeLength) {
    return ZeroPad(itemCode, static_cast<int>(kProductCodeLength));
  }
  return std::u16string(itemCode);
}

std::optional<double> ComputeLabelWeight(std::u16string_view buffer, double unitPrice,
                                         const KioskSettings& settings) {
  const double value = labelValue(buffer);
  double raw = 0;
  if (settings.Tipo == u"T") {
    // IEEE division gives an infinity or NaN instead of failing; the lookup must fail.
    if (unitPrice == 0) {
      throw std::domain_error("Divisão por zero ao calcular o peso (preço unitário 0)");
    }
    raw = value / 100 / unitPrice;
  } else if (settings.Tipo == u"P") {
    raw = value / 1000;
  } else {
    return std::nullopt;
  }
  if (!std::isfinite(raw)) throw std::range_error("Resultado fora do intervalo ao calcular o peso");
  return roundedWeight(raw);
}

}  // namespace varnok

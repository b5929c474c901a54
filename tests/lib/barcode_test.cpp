#include "varnok/barcode.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>

#include "decimal_separator_scope.h"

namespace varnok {
namespace {

KioskSettings withTamanho(std::int32_t tamanho) {
  KioskSettings settings;
  settings.Tamanho = tamanho;
  return settings;
}

KioskSettings withTipo(std::u16string tipo) {
  KioskSettings settings;
  settings.Tipo = std::move(tipo);
  return settings;
}

TEST(IsScaleLabel, IsDecidedByTheFirstDigit) {
  EXPECT_TRUE(IsScaleLabel(u"2045600012508"));
  EXPECT_TRUE(IsScaleLabel(u"2"));
  EXPECT_FALSE(IsScaleLabel(u"7891234567895"));
  // A code that Enter padded always begins with "0".
  EXPECT_FALSE(IsScaleLabel(u"0000012345670"));
  EXPECT_FALSE(IsScaleLabel(u""));
}

TEST(DeriveProductCode, FollowsTheBarcodeFamilyAndTamanho) {
  struct Case {
    std::u16string buffer;
    std::int32_t tamanho;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"2045600012508", 4, u"0000000000456"},
      {u"2123456012509", 6, u"0000000123456"},
      {u"2123456012509", 1, u"0000000000001"},
      {u"2045600012508", 0, u"0000000000000"},
      {u"2045600012508", -3, u"0000000000000"},
      // More than 12: the 12 digits after the "2", with one "0" in front.
      {u"2045600012508", 12, u"0045600012508"},
      {u"2045600012508", 13, u"0045600012508"},
      {u"2045600012508", std::numeric_limits<std::int32_t>::max(), u"0045600012508"},
      // Ordinary barcodes are their own product code, whatever Tamanho says.
      {u"7891234567895", 4, u"7891234567895"},
      {u"0000012345670", 4, u"0000012345670"},
      // The buffer a failed log leaves behind can hold 14 digits.
      {u"78912345678951", 4, u"78912345678951"},
      {u"20456000125081", 13, u"0456000125081"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeriveProductCode(c.buffer, withTamanho(c.tamanho)), c.expected)
        << testing::PrintToString(c.buffer) << " Tamanho " << c.tamanho;
  }
}

TEST(DeriveProductCode, ScaleLabelShortCodeIsTheLastSixCharacters) {
  EXPECT_EQ(DeriveProductCode(u"2045600012508", withTamanho(4)).substr(7), u"000456");
  EXPECT_EQ(DeriveProductCode(u"2123456012509", withTamanho(6)).substr(7), u"123456");
}

struct WeightCase {
  std::u16string tipo;
  std::u16string buffer;
  double unitPrice;
  std::optional<double> expected;
};

void PrintTo(const WeightCase& c, std::ostream* os) {
  *os << "Tipo " << testing::PrintToString(c.tipo) << " buffer " << testing::PrintToString(c.buffer)
      << " unit price " << c.unitPrice;
}

class ComputeLabelWeight : public testing::TestWithParam<WeightCase> {};

TEST_P(ComputeLabelWeight, GivesTheWeightRoundedToThreeDecimals) {
  const WeightCase& c = GetParam();
  // The weight passes through regional text; it must not depend on the separator.
  for (const char16_t separator : {u',', u'.'}) {
    const DecimalSeparatorScope scope(separator);
    EXPECT_EQ(varnok::ComputeLabelWeight(c.buffer, c.unitPrice, withTipo(c.tipo)), c.expected)
        << "separator " << static_cast<char>(separator);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComputeLabelWeight,
    testing::Values(
        // Label value 1250 (characters 8 to 12 of 2045600012508).
        WeightCase{u"P", u"2045600012508", 0, 1.25},
        WeightCase{u"T", u"2045600012508", 39.90, 0.313},
        WeightCase{u"T", u"2045600012508", 12.50, 1.0},
        WeightCase{u"T", u"2045600012508", -12.50, -1.0},
        WeightCase{u"P", u"2000000999999", 0, 99.999}, WeightCase{u"P", u"2000000000005", 0, 0.0},
        WeightCase{u"T", u"2000000000005", 3.0, 0.0}, WeightCase{u"P", u"2000000000015", 0, 0.001},
        // 1 cent at 20.00 a kilo is 0.0005 kg: a half, rounded away from zero.
        WeightCase{u"T", u"2000000000015", 20.0, 0.001},
        // 1 cent at 0.03 a kilo is 0.3333... kg.
        WeightCase{u"T", u"2000000000010", 0.03, 0.333},
        // Ordinary barcodes get a weight too; the lookup just does not show it.
        WeightCase{u"P", u"7891234567895", 0, 56.789},
        // Tipo is compared exactly: anything but "T" and "P" gives no weight.
        WeightCase{u"t", u"2045600012508", 39.90, std::nullopt},
        WeightCase{u"p", u"2045600012508", 39.90, std::nullopt},
        WeightCase{u"", u"2045600012508", 39.90, std::nullopt},
        WeightCase{u"T ", u"2045600012508", 39.90, std::nullopt},
        // No division happens then, so a zero price is harmless.
        WeightCase{u"X", u"2045600012508", 0, std::nullopt}));

TEST(ComputeLabelWeightErrors, ZeroUnitPriceWithTipoTFails) {
  struct Case {
    std::u16string buffer;
    double unitPrice;
  };
  const KioskSettings settings = withTipo(u"T");
  // x/0 and 0/0, both barcode families, and the negative zero.
  const Case cases[] = {{u"2045600012508", 0.0},
                        {u"2000000000005", 0.0},
                        {u"7891234567895", 0.0},
                        {u"2045600012508", -0.0}};
  for (const Case& c : cases) {
    try {
      varnok::ComputeLabelWeight(c.buffer, c.unitPrice, settings);
      ADD_FAILURE() << "no error for " << testing::PrintToString(c.buffer);
    } catch (const std::domain_error& error) {
      EXPECT_STREQ(error.what(), "Divisão por zero ao calcular o peso (preço unitário 0)")
          << testing::PrintToString(c.buffer);
    }
  }
}

TEST(ComputeLabelWeightErrors, QuotientThatIsNoFiniteNumberFails) {
  const KioskSettings settings = withTipo(u"T");
  for (const double unitPrice :
       {std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::quiet_NaN()}) {
    try {
      varnok::ComputeLabelWeight(u"2045600012508", unitPrice, settings);
      ADD_FAILURE() << "no error for unit price " << unitPrice;
    } catch (const std::range_error& error) {
      EXPECT_STREQ(error.what(), "Resultado fora do intervalo ao calcular o peso") << unitPrice;
    }
  }
}

TEST(ComputeLabelWeightErrors, LabelValueThatIsNotDigitsFails) {
  struct Case {
    std::u16string buffer;
    const char* message;
  };
  const Case cases[] = {
      {u"20456000a2508", "Valor da etiqueta inválido: '0a250'"},
      {u"2045600", "Valor da etiqueta inválido: ''"},
      {u"2045600 12508", "Valor da etiqueta inválido: ' 1250'"},
  };
  for (const Case& c : cases) {
    try {
      varnok::ComputeLabelWeight(c.buffer, 1.0, withTipo(u"P"));
      ADD_FAILURE() << "no error for " << testing::PrintToString(c.buffer);
    } catch (const std::invalid_argument& error) {
      EXPECT_STREQ(error.what(), c.message) << testing::PrintToString(c.buffer);
    }
  }
}

}  // namespace
}  // namespace varnok

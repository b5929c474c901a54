#include "varnok/regional.h"

#include <gtest/gtest.h>

#include <string>

#include "varnok/json.h"

namespace varnok {
namespace {

struct LocaleCase {
  std::string name;
  char16_t decimal;
  char16_t date;
  char16_t time;
};

class LocaleSeparators : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleSeparators, ComeFromTheLocaleFormats) {
  const RegionalSettings settings = regionalSettingsOfLocale(GetParam().name);
  EXPECT_EQ(settings.decimalSeparator, GetParam().decimal) << GetParam().name;
  EXPECT_EQ(settings.dateSeparator, GetParam().date) << GetParam().name;
  EXPECT_EQ(settings.timeSeparator, GetParam().time) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Cases, LocaleSeparators,
                         testing::Values(LocaleCase{"pt_BR", u',', u'/', u':'},
                                         LocaleCase{"en_US", u'.', u'/', u':'},
                                         LocaleCase{"de_DE", u',', u'.', u':'},
                                         LocaleCase{"nl_NL", u',', u'-', u':'},
                                         LocaleCase{"fi_FI", u',', u'.', u'.'}));

TEST(RegionalSettings, SettingThemAlsoSetsTheJsonDecimalSeparator) {
  const RegionalSettings saved = regionalSettings();
  setRegionalSettings({u',', u'.', u'-'});
  EXPECT_EQ(regionalSettings().decimalSeparator, u',');
  EXPECT_EQ(regionalSettings().dateSeparator, u'.');
  EXPECT_EQ(regionalSettings().timeSeparator, u'-');
  EXPECT_EQ(varnok::json::RegionalDecimalSeparator(), u',');
  setRegionalSettings(saved);
  EXPECT_EQ(varnok::json::RegionalDecimalSeparator(), saved.decimalSeparator);
}

}  // namespace
}  // namespace varnok

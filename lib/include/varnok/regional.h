// The regional separators the screen and the log use, read once at start-up from the
// locale the program starts with. JSON numbers never use them (they always use '.').
#pragma once

#include <string_view>

namespace varnok {

struct RegionalSettings {
  char16_t decimalSeparator = u'.';
  char16_t dateSeparator = u'/';
  char16_t timeSeparator = u':';
};

// The separators of the locale the process started with (LANG, LC_ALL, LC_*).
RegionalSettings readSystemRegionalSettings();
// The separators of a named locale such as "pt_BR" or "de_DE", as the system reading
// would give them under that locale.
RegionalSettings regionalSettingsOfLocale(std::string_view localeName);
// The program's current settings.
const RegionalSettings& regionalSettings() noexcept;
// Sets the program's settings, the JSON library's regional decimal separator included.
void setRegionalSettings(const RegionalSettings& settings) noexcept;

}  // namespace varnok

// Sets the regional decimal separator for the length of one test.
#pragma once

#include "varnok/regional.h"

namespace varnok {

class DecimalSeparatorScope {
 public:
  explicit DecimalSeparatorScope(char16_t separator) : saved_(regionalSettings()) {
    RegionalSettings settings = saved_;
    settings.decimalSeparator = separator;
    setRegionalSettings(settings);
  }
  ~DecimalSeparatorScope() { setRegionalSettings(saved_); }
  DecimalSeparatorScope(const DecimalSeparatorScope&) = delete;
  DecimalSeparatorScope& operator=(const DecimalSeparatorScope&) = delete;

 private:
  RegionalSettings saved_;
};

}  // namespace varnok

// Helpers shared by the JSON library's tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "varnok/json.h"
#include "varnok/utf.h"

namespace varnok::json::testing {

// UTF-8 spelling of a UTF-16 text, for readable failure output.
inline std::string U8(std::u16string_view text) {
  return ToUtf8(text);
}
inline std::u16string U16(std::string_view text) {
  return FromUtf8(text);
}

// The message of the JsonError that action raises, or a marker when it raises none.
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const JsonError& error) {
    return error.what();
  }
  return "(no error)";
}

// Sets the regional decimal separator for one test and restores '.' afterwards; a
// node is created so that the snapshot follows at once.
class RegionalSeparator {
 public:
  explicit RegionalSeparator(char16_t separator) {
    SetRegionalDecimalSeparator(separator);
    TJsonValue refresh;
  }
  ~RegionalSeparator() {
    SetRegionalDecimalSeparator(u'.');
    TJsonValue refresh;
  }
  RegionalSeparator(const RegionalSeparator&) = delete;
  RegionalSeparator& operator=(const RegionalSeparator&) = delete;
};

}  // namespace varnok::json::testing

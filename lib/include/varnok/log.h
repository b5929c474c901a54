// The daily error log beside the executable: Log/Erro_DD-MM-YYYY.txt.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace varnok {

// The log could not be created, opened, written or closed; what() is the operating
// system's description of the failure.
class InputOutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Appends "dd/mm/yyyy hh:mm:ss - " + message + CR LF (regional separators, Windows-1252)
// to the day's file, opening and closing it on every call. Throws InputOutputError.
void LogError(std::u16string_view message);

}  // namespace varnok

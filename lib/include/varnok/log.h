// The daily error log beside the executable: Log/Erro_DD-MM-YYYY.txt.
#pragma once

#include <cstddef>
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

// A message longer than this many characters is cut there and followed by
// logCutMarker() with the number of characters left out: a server's reply that
// ends up in an error message cannot write megabytes in one line.
inline constexpr std::size_t kLogMessageLimit = 4000;
// " [... N caracteres omitidos]", N in decimal.
std::u16string logCutMarker(std::size_t leftOut);

// A day's file grows to at most this many bytes. The line that would pass the limit is
// replaced by kLogDayLimitNotice (time-stamped like any line); after it the day's
// further messages are dropped without an error.
inline constexpr std::size_t kLogDayFileLimit = std::size_t{10} * 1024 * 1024;
inline constexpr std::u16string_view kLogDayLimitNotice =
    u"Limite de 10485760 bytes do arquivo de log do dia atingido; as mensagens seguintes "
    u"deste dia não serão gravadas";

// Appends "dd/mm/yyyy hh:mm:ss - " + message + CR LF (regional separators, Windows-1252)
// to the day's file, opening and closing it on every call, within the two limits above.
// Throws InputOutputError.
void LogError(std::u16string_view message);

}  // namespace varnok

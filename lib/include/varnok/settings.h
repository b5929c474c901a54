// The kiosk's settings, read once at start-up from ini/config-check.ini beside the
// executable. Nothing is ever written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace varnok {

struct KioskSettings {
  std::u16string Tipo = u"T";
  std::int32_t Tamanho = 4;
  std::u16string Host = u"localhost";
  std::u16string Banco = u"quorvel";
  std::int32_t Porta = 9000;
  std::int32_t Usuario = 1;

  bool operator==(const KioskSettings&) const = default;
};

// executableDir() / "ini" / "config-check.ini"
std::filesystem::path settingsFilePath();

// Reads the six keys; a missing file, section or key or an unreadable integer gives
// the default. A file that cannot be opened counts as missing. Only the first 64 KiB of
// the file are read (a line cut there is dropped).
//
// The file: UTF-8 (a byte-order mark is skipped), or Windows-1252 when it is not valid
// UTF-8; CR LF or LF line ends; "[name]" opens a section; "key=value" gives a value
// (the text after the first "=", blanks around it removed, then one enclosing pair of
// double or single quotes); lines starting with ";" or "#" and lines without "=" are
// skipped. Section and key names match without regard to ASCII letter case; the first
// occurrence of a key in its section counts.
KioskSettings readKioskSettings(const std::filesystem::path& iniFile);

// The integer forms of a settings value: "0x"/"0X" followed by hexadecimal digits (when
// the text is longer than 2 characters), or leading blanks, an optional "+" or "-", then
// decimal digits or "$", "x" or "X" followed by hexadecimal digits. Hexadecimal digits
// give the magnitude, so "$FFFFFFFF" is out of range rather than -1. Empty when the text
// is not such a number or lies outside the 32-bit signed range.
std::optional<std::int32_t> readSettingsInteger(std::u16string_view text) noexcept;

}  // namespace varnok

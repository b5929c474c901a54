// The kiosk's settings, read once at start-up from ini/config-check.ini beside the
// executable. Nothing is ever written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace varnok {

struct KioskSettings {
  std::u16string Tipo = u"T";
  std::int32_t Tamanho = 4;
  std::u16string Host = u"localhost";
  std::u16string Banco = u"quorvel";
  std::int32_t Porta = 9000;
  std::int32_t Usuario = 1;
};

// executableDir() / "ini" / "config-check.ini"
std::filesystem::path settingsFilePath();

// Reads the six keys; a missing file, section or key or an unreadable integer gives
// the default.
KioskSettings readKioskSettings(const std::filesystem::path& iniFile);

}  // namespace varnok

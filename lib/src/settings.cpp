#include "varnok/settings.h"

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <fstream>
#include <limits>
#include <vector>

#include "varnok/codepage.h"
#include "varnok/platform.h"
#include "varnok/text.h"

namespace varnok {
namespace {

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// A settings file holds a few hundred bytes; only this much of one is read, so that a
// huge file neither slows the start nor stays in memory.
constexpr std::size_t kSettingsReadLimit = 64 * 1024;

// The file's first kSettingsReadLimit bytes, or nothing when it is missing or cannot be
// read. When the file is longer, its last line there is cut and is dropped, so that a
// value is never read from half a line (or a UTF-8 character from half its bytes).
std::optional<std::string> readFileBytes(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  try {
    std::string bytes(kSettingsReadLimit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kSettingsReadLimit) {
      const std::size_t lastLineEnd = bytes.rfind('\n', kSettingsReadLimit - 1);
      bytes.resize(lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1);
    }
    return bytes;
  } catch (const std::ios_base::failure&) {
    // The stream library reports a failed read(2) by throwing from the buffer.
    return std::nullopt;
  }
}

// Staff edit the file with Notepad, which saves UTF-8 (with or without a byte-order
// mark) or the Windows "ANSI" code page; bytes that are not valid UTF-8 mean the latter.
std::u16string decodeFileText(std::string_view bytes) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                  QStringConverter::Flag::ConvertInitialBom);
  const QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  if (!utf8.hasError()) return text.toStdU16String();
  return fromWindows1252(bytes);
}

// Removes one pair of enclosing double or single quotes.
std::u16string_view unquote(std::u16string_view value) noexcept {
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == u'"' || value.front() == u'\'')) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The key/value lines of the file, each with the section it stands in, in file order.
class IniText {
 public:
  explicit IniText(std::u16string_view text) {
    std::u16string_view section;
    while (!text.empty()) {
      const std::size_t end = text.find(u'\n');
      // Trimming also removes the CR of a CR LF line end.
      const std::u16string_view line = trimBlanks(text.substr(0, end));
      text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
      if (line.empty() || line.front() == u';' || line.front() == u'#') continue;
      if (line.front() == u'[') {
        const std::size_t close = line.find(u']');
        if (close != std::u16string_view::npos) section = trimBlanks(line.substr(1, close - 1));
        continue;
      }
      const std::size_t equals = line.find(u'=');
      if (equals == std::u16string_view::npos) continue;
      entries_.push_back({std::u16string(section),
                          std::u16string(trimBlanks(line.substr(0, equals))),
                          std::u16string(unquote(trimBlanks(line.substr(equals + 1))))});
    }
  }

  std::optional<std::u16string> value(std::u16string_view section, std::u16string_view key) const {
    for (const Entry& entry : entries_) {
      if (equalsIgnoringAsciiCase(entry.section, section) &&
          equalsIgnoringAsciiCase(entry.key, key)) {
        return entry.value;
      }
    }
    return std::nullopt;
  }

 private:
  struct Entry {
    std::u16string section;
    std::u16string key;
    std::u16string value;
  };
  std::vector<Entry> entries_;
};

int digitValue(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 99;
}

// Digits in the base, all of them, at least one, signed value within 32 bits.
std::optional<std::int32_t> readDigits(std::u16string_view digits, int base,
                                       bool negative) noexcept {
  if (digits.empty()) return std::nullopt;
  // The magnitude of INT32_MIN is one more than INT32_MAX.
  const std::int64_t limit =
      std::int64_t{std::numeric_limits<std::int32_t>::max()} + (negative ? 1 : 0);
  std::int64_t magnitude = 0;
  for (const char16_t c : digits) {
    const int digit = digitValue(c);
    if (digit >= base) return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::u16string settingsText(const IniText& ini, std::u16string_view section,
                            std::u16string_view key, std::u16string_view fallback) {
  return ini.value(section, key).value_or(std::u16string(fallback));
}

std::int32_t settingsInteger(const IniText& ini, std::u16string_view section,
                             std::u16string_view key, std::int32_t fallback) {
  return readSettingsInteger(ini.value(section, key).value_or(u"")).value_or(fallback);
}

}  // namespace

std::filesystem::path settingsFilePath() {
  return executableDir() / "ini" / "config-check.ini";
}

std::optional<std::int32_t> readSettingsInteger(std::u16string_view text) noexcept {
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    return readDigits(text.substr(2), 16, false);
  }
  std::size_t i = 0;
  while (i < text.size() && text[i] <= u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  const std::u16string_view rest = text.substr(i);
  if (!rest.empty() && (rest[0] == u'$' || rest[0] == u'x' || rest[0] == u'X')) {
    return readDigits(rest.substr(1), 16, negative);
  }
  return readDigits(rest, 10, negative);
}

KioskSettings readKioskSettings(const std::filesystem::path& iniFile) {
  const KioskSettings defaults;
  const std::optional<std::string> bytes = readFileBytes(iniFile);
  if (!bytes) return defaults;
  const IniText ini(decodeFileText(*bytes));

  KioskSettings settings;
  settings.Tipo = settingsText(ini, u"CODIGO", u"Tipo", defaults.Tipo);
  settings.Tamanho = settingsInteger(ini, u"CODIGO", u"Tamanho", defaults.Tamanho);
  settings.Host = settingsText(ini, u"CONEXAO", u"Host", defaults.Host);
  settings.Banco = settingsText(ini, u"CONEXAO", u"Banco", defaults.Banco);
  settings.Porta = settingsInteger(ini, u"CONEXAO", u"Porta", defaults.Porta);
  settings.Usuario = settingsInteger(ini, u"CONEXAO", u"Usuario", defaults.Usuario);
  return settings;
}

}  // namespace varnok

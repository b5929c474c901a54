#include "varnok/regional.h"

#include <QLocale>
#include <QString>

#include "varnok/json.h"

namespace varnok {
namespace {

RegionalSettings& currentSettings() noexcept {
  static RegionalSettings settings;
  return settings;
}

bool isFormatLetter(QChar c) {
  return c.isLetter() || c == u'\'';
}

// A short date or time format such as "dd/MM/yyyy", "d.M.yy" or "h:mm AP" names its
// separator as the first character that is neither a field letter, a quote nor a blank.
char16_t separatorOf(const QString& format, char16_t fallback) {
  for (QChar c : format) {
    if (!isFormatLetter(c) && !c.isSpace()) {
      return c.unicode();
    }
  }
  return fallback;
}

RegionalSettings settingsOf(const QLocale& locale) {
  RegionalSettings settings;
  const QString decimal = locale.decimalPoint();
  if (decimal.size() == 1) {
    settings.decimalSeparator = decimal.front().unicode();
  }
  settings.dateSeparator = separatorOf(locale.dateFormat(QLocale::ShortFormat), u'/');
  settings.timeSeparator = separatorOf(locale.timeFormat(QLocale::ShortFormat), u':');
  return settings;
}

}  // namespace

RegionalSettings readSystemRegionalSettings() {
  return settingsOf(QLocale::system());
}

RegionalSettings regionalSettingsOfLocale(std::string_view localeName) {
  return settingsOf(
      QLocale(QString::fromUtf8(localeName.data(), static_cast<qsizetype>(localeName.size()))));
}

const RegionalSettings& regionalSettings() noexcept {
  return currentSettings();
}

void setRegionalSettings(const RegionalSettings& settings) noexcept {
  currentSettings() = settings;
  varnok::json::SetRegionalDecimalSeparator(settings.decimalSeparator);
}

}  // namespace varnok

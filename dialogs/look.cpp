#include "varnok/look.h"

namespace varnok {

QFont pixelFont(const QStringList& families, int pixels, bool bold) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

// DejaVu Sans is metrically close to Tahoma and ships with every Debian desktop.
QFont tahomaFont(int pixels, bool bold) {
  return pixelFont({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}, pixels, bold);
}

QString toQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace varnok

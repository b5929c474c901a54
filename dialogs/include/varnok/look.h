// The look that the kiosk's windows share: navy text and frames, and Tahoma (DejaVu
// Sans where Tahoma is not installed) with sizes given as pixel heights.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <string_view>

namespace varnok {

inline const QColor kNavy(0, 0, 128);

// A font of the first installed family, pixels high.
QFont pixelFont(const QStringList& families, int pixels, bool bold);
QFont tahomaFont(int pixels, bool bold);

// Our UTF-16 text as a QString, without a detour through UTF-8.
QString toQString(std::u16string_view text);

}  // namespace varnok

// The 8-bit code page of the log and of the dialog's text rebuild: Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace varnok {

// One byte per UTF-16 code unit; a character the code page cannot hold becomes '?'.
std::string toWindows1252(std::u16string_view text);
std::u16string fromWindows1252(std::string_view bytes);

}  // namespace varnok

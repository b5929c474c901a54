// The 8-bit code page of the log and of the dialog's text rebuild: Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace varnok {

// One byte per character; a character the code page cannot hold becomes '?' (a
// surrogate pair is one character). Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D, which the
// code page leaves unassigned, map to the C1 controls of the same value, both ways.
std::string toWindows1252(std::u16string_view text);
std::u16string fromWindows1252(std::string_view bytes);

}  // namespace varnok

// UTF-8 <-> UTF-16 conversion for the edges of the program (HTTP bodies, files,
// standard streams). In memory all text is UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace varnok::json {

// Bytes that are not valid UTF-8 become U+FFFD, one for each maximal ill-formed run
// as Unicode recommends.
std::u16string FromUtf8(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

}  // namespace varnok::json

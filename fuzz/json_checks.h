// The checks that the fuzzer applies to every input and the tests to every seed of the
// corpus. The bytes, read as UTF-8, are parsed by each node class on a host with '.'
// and one with ',' as the decimal separator, and:
// - the library's reader and the plain reference reader agree exactly (same tree,
//   same error, same leftovers after an error);
// - whatever parses is written as printable ASCII, a deep copy writes the same text,
//   and the text parses again and is written to the same text. The one allowed
//   exception: a number that rounds past the largest double when written cannot be
//   read back.
#pragma once

#include <string>
#include <string_view>

namespace varnok::json::checks {

// Empty when every check holds, otherwise what failed and on which texts. The regional
// decimal separator and its snapshot are '.' again afterwards.
std::string CheckJsonInput(std::string_view bytes);

}  // namespace varnok::json::checks

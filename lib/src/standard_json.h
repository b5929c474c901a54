// The strict reading of a server's reply before the lenient document reader sees it:
// RFC 8259 well-formedness, then the text written back compactly.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace varnok::detail {

// The text is not well-formed JSON; what() says what was found where.
class MalformedJson : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Checks that text is one JSON value by RFC 8259 (a leading U+FEFF byte-order mark is
// skipped) and returns it written back without blanks. Strings and numbers keep their
// source spelling, escapes included, so a lone surrogate escape such as "\ud800", which
// the grammar allows, passes through for the document reader to decide. When an object
// repeats a member name (compared after unescaping), the member stays where the name
// first appeared and takes the value of its last occurrence; the later occurrences go.
// Objects nested more than 512 deep are left as they are: the document reader refuses
// such a text anyway. Works without recursion, in time and memory proportional to the
// text; a text that is already compact is handed back without a copy. Throws
// MalformedJson.
std::u16string rewriteStandardJson(std::u16string text);

}  // namespace varnok::detail

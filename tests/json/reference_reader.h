// A second reader, written the plain way: every node trims, copies and cuts its own
// text with a character-by-character walk, as the reading rules are stated. The
// library's reader jumps over nested items instead; tests and the fuzzer run both on
// the same texts and require the same trees, the same errors and the same leftovers.
#pragma once

#include <string>
#include <string_view>

#include "varnok/json.h"

namespace varnok::json::reference {

void ParseValue(TJsonValue& value, std::u16string_view text, int depth = 0);
void ParseArray(TJsonArray& array, std::u16string_view text, int depth = 1);
void ParseObject(TJsonObject& object, std::u16string_view text, int depth = 1);
void ParsePair(TJsonPair& pair, std::u16string_view text, int depth = 0);

// A text that shows every node and its kind, to compare trees exactly (Stringify
// writes empty and null alike).
std::string Describe(const TJsonBase& node);

}  // namespace varnok::json::reference

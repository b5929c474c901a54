#include "request_token.h"

#include <string>

#include "varnok/request.h"

namespace varnok::store {

namespace {

// Store identifiers arrive as UTF-8 that the JSON parser has already validated.
std::u16string utf16FromValidUtf8(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += length;
    if (code < 0x10000) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
  }
  return out;
}

bool matches(std::string_view header, std::u16string_view store, std::u16string_view segment,
             const LocalDateTime& day) {
  const std::u16string expected = authorizationHeader(store, segment, day);
  if (expected.size() != header.size()) return false;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (static_cast<unsigned char>(header[i]) != expected[i]) return false;
  }
  return true;
}

}  // namespace

LocalDateTime shiftDays(const LocalDateTime& moment, int days) {
  using namespace std::chrono;
  const sys_days date =
      year_month_day{year{moment.year}, month{static_cast<unsigned>(moment.month)},
                     day{static_cast<unsigned>(moment.day)}};
  const year_month_day shifted{date + std::chrono::days{days}};
  LocalDateTime result = moment;
  result.year = static_cast<int>(shifted.year());
  result.month = static_cast<int>(static_cast<unsigned>(shifted.month()));
  result.day = static_cast<int>(static_cast<unsigned>(shifted.day()));
  return result;
}

bool tokenAccepted(std::string_view header, std::string_view storeUtf8, std::string_view segment,
                   const LocalDateTime& now) {
  const std::u16string store = utf16FromValidUtf8(storeUtf8);
  const std::u16string resource(segment.begin(), segment.end());
  if (matches(header, store, resource, now)) return true;

  const std::chrono::minutes sinceMidnight{now.hour * 60 + now.minute};
  if (sinceMidnight < kMidnightGrace) return matches(header, store, resource, shiftDays(now, -1));
  if (std::chrono::hours{24} - sinceMidnight <= kMidnightGrace) {
    return matches(header, store, resource, shiftDays(now, 1));
  }
  return false;
}

}  // namespace varnok::store

// The kiosk's one road to the store server: a JSON POST with the daily token, and the
// unwrapping of the {"success", "data", "message"} reply envelope.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "varnok/platform.h"

namespace varnok {

// MD5 of the text (characters above 127 hashed as '?'), as 32 upper-case hex digits.
std::u16string Md5Hex(std::u16string_view text);

// "Basic" followed by the lower-case token for this store, resource and day.
std::u16string authorizationHeader(std::u16string_view store, std::u16string_view resource,
                                   const LocalDateTime& today);

// Posts body to baseUrl + "/" + resource. Returns true with the "data" member's JSON
// text in reply, or false with reply empty or the server's "message". Errors on the way
// are logged; only an error of the log itself leaves it. A reply body over 16 MiB is
// such an error: the transfer stops there instead of filling memory.
bool SendRequest(std::u16string& reply, std::u16string_view resource, std::u16string_view baseUrl,
                 std::u16string_view store, std::u16string_view body);

// The limits on one exchange: 30 s for each connection to stand, and 30 s for the whole
// reply, from the first request sent (redirects included) to the last byte of the body.
// Running out of either is a failed exchange: false, nothing logged.
struct HttpTimeouts {
  std::chrono::milliseconds connect{30000};
  std::chrono::milliseconds reply{30000};
};
// Tests shorten the limits; the program never changes them.
void setHttpTimeouts(const HttpTimeouts& timeouts) noexcept;

}  // namespace varnok

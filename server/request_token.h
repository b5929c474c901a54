// The check of the kiosk's daily "Authorization" token.
#pragma once

#include <chrono>
#include <string_view>

#include "varnok/platform.h"

namespace varnok::store {

// Near midnight the kiosk's clock and ours may fall on different days (the clocks drift,
// and a request sent at 23:59:59 arrives after midnight), so within this margin of
// midnight the neighbouring day's token is accepted too.
inline constexpr std::chrono::minutes kMidnightGrace{5};

// Whether header is the token of this store (UTF-8, as the body carries it) and
// resource segment ("buscaProduto") for the local time now.
bool tokenAccepted(std::string_view header, std::string_view storeUtf8, std::string_view segment,
                   const LocalDateTime& now);

// The same date moved by whole days, the time of day kept.
LocalDateTime shiftDays(const LocalDateTime& moment, int days);

}  // namespace varnok::store

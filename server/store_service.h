// What the demo store answers to the kiosk's two resources, apart from HTTP itself:
// body checks, the token check, the product lookup and the storing of check records.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store_database.h"
#include "varnok/platform.h"

namespace varnok::store {

// The HTTP status and the JSON envelope to send back.
struct Reply {
  int status = 200;
  std::string body;
};

class StoreService {
 public:
  explicit StoreService(StoreDatabase& database) : database_(database) {}

  // authorization is the "Authorization" header, absent when the request had none.
  Reply lookupProduct(const std::optional<std::string>& authorization, std::string_view body);
  Reply saveProductCheck(const std::optional<std::string>& authorization, std::string_view body);

 private:
  StoreDatabase& database_;
};

// "YYYY-MM-DD HH:MM:SS", as the request log and the check records show arrival times.
std::string timestampText(const LocalDateTime& moment);

// {"success":false,"message":message}, for errors of any layer.
std::string failureEnvelope(std::string_view message);

// The product code a request body asks about ("codigo" or "CODIGO"), made safe for a
// one-line log entry; "-" when there is none.
std::string codigoForLog(std::string_view body);

// One request, one log line: blanks and control characters, which would split the
// line or its fields, become "?".
std::string printableForLog(std::string text);

}  // namespace varnok::store

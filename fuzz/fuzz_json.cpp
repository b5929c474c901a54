// libFuzzer entry point: every input must pass the checks of json_checks.h; a failed
// check aborts, which libFuzzer reports as a crash and keeps the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "json_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = varnok::json::checks::CheckJsonInput(
      std::string_view(reinterpret_cast<const char*>(data), size));
  if (!failure.empty()) {
    std::fprintf(stderr, "check failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}

// The sample catalogue that the demo store server puts into a new database, so that a
// kiosk can be tried without importing any store data first.
#pragma once

#include <cstdint>
#include <span>

namespace varnok::store {

struct CatalogueEntry {
  // The 13-character code the kiosk asks for: an EAN-13 as scanned, an EAN-8 with five
  // leading zeros, or a scale item's code zero-padded from the left.
  const char* codigo;
  const char* nome;  // UTF-8
  double precoVenda;
  std::int64_t id;
};

std::span<const CatalogueEntry> sampleCatalogue();

}  // namespace varnok::store

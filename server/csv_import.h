// Reading a store's product list from CSV: a header line naming the columns codigo,
// nome, preco_venda and id, then one product a line. Fields may be quoted, with commas,
// line breaks and doubled quotes inside; the text is UTF-8.
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store_database.h"

namespace varnok::store {

// A line that could not become a product; the others are imported all the same.
struct CsvProblem {
  std::size_t line = 0;  // where the record starts, counted from 1
  std::string message;
};

struct CsvImport {
  std::vector<Product> products;
  std::vector<CsvProblem> problems;
};

// A file that cannot be imported at all: unreadable, or without the expected header.
class CsvError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Codes shorter than 13 digits are stored zero-padded from the left, as the kiosk asks
// for them (EAN-8 goods and scale items).
CsvImport parseProductCsv(std::string_view text);
CsvImport readProductCsv(const std::filesystem::path& file);

}  // namespace varnok::store

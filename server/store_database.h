// The demo store's SQLite database: the product table the kiosk looks codes up in and
// the table of check records it reports for scale labels.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;

namespace varnok::store {

struct Product {
  std::string codigo;
  std::string nome;
  double precoVenda = 0;
  std::int64_t id = 0;
};

// One "/app/salvarProdutoCheck" body, member for member.
struct CheckRecord {
  std::string cnpj;
  std::string codigo;
  std::int64_t idProduto = 0;
  std::string codigoBalanca;
  double precoVenda = 0;
  double qtd = 0;
  std::int64_t idUsuario = 0;
};

class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Owns one connection. The HTTP server calls in from several worker threads, so every
// operation holds the connection's mutex for its whole length.
class StoreDatabase {
 public:
  // Opens or creates the file and its tables; throws DatabaseError.
  explicit StoreDatabase(const std::filesystem::path& file);
  ~StoreDatabase();
  StoreDatabase(const StoreDatabase&) = delete;
  StoreDatabase& operator=(const StoreDatabase&) = delete;

  bool hasProducts();
  std::optional<Product> findProduct(std::string_view codigo);
  // Inserts the products in one transaction; a product whose codigo is already there
  // replaces the stored one.
  void putProducts(std::span<const Product> products);
  // Stores the record with its arrival time and returns the record's row id.
  std::int64_t addCheck(const CheckRecord& check, std::string_view receivedAt);

 private:
  struct Closer {
    void operator()(sqlite3* db) const noexcept;
  };
  void execute(const char* sql);

  std::unique_ptr<sqlite3, Closer> db_;
  std::mutex mutex_;
};

}  // namespace varnok::store

#include "store_database.h"

#include <sqlite3.h>

namespace varnok::store {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS products (
  codigo      TEXT PRIMARY KEY NOT NULL,
  nome        TEXT NOT NULL,
  preco_venda REAL NOT NULL,
  id          INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS product_checks (
  id             INTEGER PRIMARY KEY AUTOINCREMENT,
  received_at    TEXT NOT NULL,
  cnpj           TEXT NOT NULL,
  codigo         TEXT NOT NULL,
  id_produto     INTEGER NOT NULL,
  codigo_balanca TEXT NOT NULL,
  preco_venda    REAL NOT NULL,
  qtd            REAL NOT NULL,
  id_usuario     INTEGER NOT NULL
);
)sql";

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
  throw DatabaseError(std::string(what) + ": " + sqlite3_errmsg(db));
}

// One prepared statement; parameters are bound, never spliced into the SQL text.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail(db, "prepare");
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int index, std::string_view text) {
    check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  Statement& bind(int index, std::int64_t value) {
    check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
  }
  Statement& bind(int index, double value) {
    check(sqlite3_bind_double(stmt_, index, value));
    return *this;
  }
  // True while a row is available.
  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) fail(db_, "step");
    return false;
  }
  void reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::string text(int column) const {
    const auto* bytes = sqlite3_column_text(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), size) : std::string();
  }
  std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  double real(int column) const { return sqlite3_column_double(stmt_, column); }

 private:
  void check(int rc) {
    if (rc != SQLITE_OK) fail(db_, "bind");
  }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

void StoreDatabase::Closer::operator()(sqlite3* db) const noexcept {
  sqlite3_close(db);
}

StoreDatabase::StoreDatabase(const std::filesystem::path& file) {
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  db_.reset(raw);  // sqlite3 hands out a handle even when opening fails
  if (rc != SQLITE_OK) {
    throw DatabaseError("cannot open " + file.string() + ": " +
                        (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  // Tests and tools read the file while the server runs.
  sqlite3_busy_timeout(raw, 5000);
  execute(kSchema);
}

StoreDatabase::~StoreDatabase() = default;

void StoreDatabase::execute(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throw DatabaseError(text);
  }
}

bool StoreDatabase::hasProducts() {
  std::lock_guard lock(mutex_);
  Statement query(db_.get(), "SELECT 1 FROM products LIMIT 1");
  return query.step();
}

std::optional<Product> StoreDatabase::findProduct(std::string_view codigo) {
  std::lock_guard lock(mutex_);
  Statement query(db_.get(), "SELECT nome, preco_venda, id FROM products WHERE codigo = ?1");
  query.bind(1, codigo);
  if (!query.step()) return std::nullopt;
  return Product{std::string(codigo), query.text(0), query.real(1), query.integer(2)};
}

void StoreDatabase::putProducts(std::span<const Product> products) {
  std::lock_guard lock(mutex_);
  execute("BEGIN IMMEDIATE");
  try {
    Statement insert(db_.get(),
                     "INSERT OR REPLACE INTO products (codigo, nome, preco_venda, id) "
                     "VALUES (?1, ?2, ?3, ?4)");
    for (const Product& product : products) {
      insert.bind(1, product.codigo).bind(2, product.nome).bind(3, product.precoVenda);
      insert.bind(4, product.id).step();
      insert.reset();
    }
    execute("COMMIT");
  } catch (...) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::int64_t StoreDatabase::addCheck(const CheckRecord& check, std::string_view receivedAt) {
  std::lock_guard lock(mutex_);
  Statement insert(db_.get(),
                   "INSERT INTO product_checks (received_at, cnpj, codigo, id_produto, "
                   "codigo_balanca, preco_venda, qtd, id_usuario) "
                   "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  insert.bind(1, receivedAt).bind(2, check.cnpj).bind(3, check.codigo).bind(4, check.idProduto);
  insert.bind(5, check.codigoBalanca).bind(6, check.precoVenda).bind(7, check.qtd);
  insert.bind(8, check.idUsuario).step();
  return sqlite3_last_insert_rowid(db_.get());
}

}  // namespace varnok::store

// The demo store server as a child process of a test or benchmark: started on a free
// port of 127.0.0.1 over a fresh database, and always stopped again.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace varnok::test {

// One row of the server's check-record table.
struct StoredCheck {
  std::int64_t id = 0;
  std::string receivedAt;  // "YYYY-MM-DD HH:MM:SS", the server's local time
  std::string cnpj;
  std::string codigo;
  std::int64_t idProduto = 0;
  std::string codigoBalanca;
  double precoVenda = 0;
  double qtd = 0;
  std::int64_t idUsuario = 0;
};

class StoreServerProcess {
 public:
  // Starts VARNOK_STORE_SERVER_EXE --port 0 --db <temporary file> extraArgs..., and
  // waits for its address line. Throws std::runtime_error (with the server's standard
  // error) when the server does not come up.
  explicit StoreServerProcess(std::vector<std::string> extraArgs = {});
  // The same over an existing database file (a restart), which is left in place.
  StoreServerProcess(std::filesystem::path dbFile, std::vector<std::string> extraArgs);
  // Stops the server if it still runs and removes its temporary folder.
  ~StoreServerProcess();
  StoreServerProcess(const StoreServerProcess&) = delete;
  StoreServerProcess& operator=(const StoreServerProcess&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:PORT", without a trailing "/".
  const std::string& baseUrl() const { return baseUrl_; }
  // The server's SQLite file.
  const std::filesystem::path& db() const { return db_; }

  // The check records stored so far, in the order they arrived.
  std::vector<StoredCheck> storedChecks() const;
  // Everything the server wrote so far: the address line and one line per request on
  // standard output; import reports and errors on standard error.
  std::string output() const;
  std::string errorOutput() const;

  // Waits until standard output holds at least count lines (the server writes its log
  // line just after the reply) and returns it; gives up after 30 seconds.
  std::string outputWithLines(std::size_t count) const;

  // Sends the signal (SIGTERM unless told otherwise), then waits for the exit. Returns
  // the exit status, or 128 + the signal number when a signal ended it; later calls
  // return the same value.
  int stop(int signalNumber = SIGTERM);

 private:
  void start(std::vector<std::string> extraArgs);

  std::filesystem::path dir_;
  std::filesystem::path db_;
  pid_t pid_ = -1;
  int exitStatus_ = -1;
  int port_ = 0;
  std::string baseUrl_;
};

// A run of the server binary that is expected to end by itself (usage errors, files
// that cannot be imported). It is killed if it is still running after 30 seconds.
struct ServerRun {
  int exitStatus = -1;
  std::string output;
  std::string errorOutput;
};
ServerRun runStoreServerToExit(const std::vector<std::string>& args);

}  // namespace varnok::test

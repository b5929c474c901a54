#include "store_server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace varnok::test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartLimit = std::chrono::seconds(30);
constexpr auto kStopLimit = std::chrono::seconds(30);
constexpr auto kPollInterval = std::chrono::milliseconds(5);
constexpr std::string_view kAddressPrefix = "listening on ";

std::filesystem::path makeTemporaryDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "varnok-store-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  return pattern;
}

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Starts the program with its standard output and error going to files (a pipe that
// nobody drains would stall a busy server once it fills up).
pid_t spawn(const std::vector<std::string>& args, const std::filesystem::path& out,
            const std::filesystem::path& err) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid > 0) return pid;

    // Child: only async-signal-safe calls from here to exec.
#ifdef __linux__
  // A test that crashes must not leave its server behind.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
#endif
  const int in = open("/dev/null", O_RDONLY);
  const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || outFd < 0 || errFd < 0) _exit(127);
  dup2(in, STDIN_FILENO);
  dup2(outFd, STDOUT_FILENO);
  dup2(errFd, STDERR_FILENO);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  execv(argv[0], argv.data());
  _exit(127);
}

int statusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

// Waits up to limit for the child; returns its status, or nothing when it still runs.
std::optional<int> waitFor(pid_t pid, Clock::duration limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    int waitStatus = 0;
    const pid_t done = waitpid(pid, &waitStatus, WNOHANG);
    if (done == pid) return statusOf(waitStatus);
    if (done < 0) return -1;
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
}

int killAndWait(pid_t pid) {
  kill(pid, SIGKILL);
  int waitStatus = 0;
  waitpid(pid, &waitStatus, 0);
  return statusOf(waitStatus);
}

struct DbCloser {
  void operator()(sqlite3* db) const noexcept { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};

std::string columnText(sqlite3_stmt* stmt, int column) {
  const auto* text = sqlite3_column_text(stmt, column);
  return text ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

StoreServerProcess::StoreServerProcess(std::vector<std::string> extraArgs)
    : dir_(makeTemporaryDir()), db_(dir_ / "store.db") {
  start(std::move(extraArgs));
}

StoreServerProcess::StoreServerProcess(std::filesystem::path dbFile,
                                       std::vector<std::string> extraArgs)
    : dir_(makeTemporaryDir()), db_(std::move(dbFile)) {
  start(std::move(extraArgs));
}

void StoreServerProcess::start(std::vector<std::string> extraArgs) {
  std::vector<std::string> args = {VARNOK_STORE_SERVER_EXE, "--port", "0", "--db", db().string()};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  try {
    pid_ = spawn(args, dir_ / "stdout.txt", dir_ / "stderr.txt");
    const auto deadline = Clock::now() + kStartLimit;
    for (;;) {
      const std::string out = output();
      if (const auto end = out.find('\n'); end != std::string::npos) {
        const std::string line = out.substr(0, end);
        if (!line.starts_with(kAddressPrefix)) {
          throw std::runtime_error("unexpected first line from the store server: " + line);
        }
        baseUrl_ = line.substr(kAddressPrefix.size());
        port_ = std::stoi(baseUrl_.substr(baseUrl_.rfind(':') + 1));
        return;
      }
      if (const auto status = waitFor(pid_, std::chrono::milliseconds(0))) {
        exitStatus_ = *status;
        pid_ = -1;
        throw std::runtime_error("the store server exited with status " + std::to_string(*status) +
                                 ": " + errorOutput());
      }
      if (Clock::now() >= deadline) throw std::runtime_error("the store server did not start");
      std::this_thread::sleep_for(kPollInterval);
    }
  } catch (...) {
    // The destructor does not run for an object that was never constructed.
    stop();
    std::filesystem::remove_all(dir_);
    throw;
  }
}

StoreServerProcess::~StoreServerProcess() {
  stop();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

int StoreServerProcess::stop(int signalNumber) {
  if (pid_ > 0) {
    kill(pid_, signalNumber);
    const auto status = waitFor(pid_, kStopLimit);
    exitStatus_ = status ? *status : killAndWait(pid_);
    pid_ = -1;
  }
  return exitStatus_;
}

std::string StoreServerProcess::output() const {
  return readFile(dir_ / "stdout.txt");
}
std::string StoreServerProcess::outputWithLines(std::size_t count) const {
  const auto deadline = Clock::now() + kStartLimit;
  for (;;) {
    std::string out = output();
    if (static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')) >= count ||
        Clock::now() >= deadline) {
      return out;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::string StoreServerProcess::errorOutput() const {
  return readFile(dir_ / "stderr.txt");
}

std::vector<StoredCheck> StoreServerProcess::storedChecks() const {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(db().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, DbCloser> database(raw);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + db().string());
  sqlite3_busy_timeout(raw, 5000);

  sqlite3_stmt* rawStmt = nullptr;
  const char* sql =
      "SELECT id, received_at, cnpj, codigo, id_produto, codigo_balanca, preco_venda, qtd, "
      "id_usuario FROM product_checks ORDER BY id";
  if (sqlite3_prepare_v2(raw, sql, -1, &rawStmt, nullptr) != SQLITE_OK) {
    throw std::runtime_error(std::string("cannot read the check records: ") + sqlite3_errmsg(raw));
  }
  std::unique_ptr<sqlite3_stmt, StatementFinalizer> query(rawStmt);

  std::vector<StoredCheck> checks;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(rawStmt)) == SQLITE_ROW) {
    checks.push_back({sqlite3_column_int64(rawStmt, 0), columnText(rawStmt, 1),
                      columnText(rawStmt, 2), columnText(rawStmt, 3),
                      sqlite3_column_int64(rawStmt, 4), columnText(rawStmt, 5),
                      sqlite3_column_double(rawStmt, 6), sqlite3_column_double(rawStmt, 7),
                      sqlite3_column_int64(rawStmt, 8)});
  }
  if (step != SQLITE_DONE) {
    throw std::runtime_error(std::string("cannot read the check records: ") + sqlite3_errmsg(raw));
  }
  return checks;
}

ServerRun runStoreServerToExit(const std::vector<std::string>& args) {
  const std::filesystem::path dir = makeTemporaryDir();
  std::vector<std::string> command = {VARNOK_STORE_SERVER_EXE};
  command.insert(command.end(), args.begin(), args.end());
  ServerRun run;
  try {
    const pid_t pid = spawn(command, dir / "stdout.txt", dir / "stderr.txt");
    const auto status = waitFor(pid, kStopLimit);
    run.exitStatus = status ? *status : killAndWait(pid);
  } catch (...) {
    std::filesystem::remove_all(dir);
    throw;
  }
  run.output = readFile(dir / "stdout.txt");
  run.errorOutput = readFile(dir / "stderr.txt");
  std::filesystem::remove_all(dir);
  return run;
}

}  // namespace varnok::test

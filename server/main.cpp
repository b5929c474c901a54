// The demo store server: answers the kiosk's product lookups and stores its check
// records, over HTTP on 127.0.0.1 (unless told otherwise) and a SQLite file.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "catalogue.h"
#include "csv_import.h"
#include "store_database.h"
#include "store_service.h"
#include "varnok/platform.h"

namespace {

using namespace varnok::store;

constexpr const char* kUsage =
    "usage: varnok-store-server --port PORT --db FILE [--host ADDR] [--import CSV] "
    "[--clock \"YYYY-MM-DD HH:MM:SS\"]\n"
    "       varnok-store-server --db FILE --import CSV";
constexpr int kUsageExit = 2;
constexpr int kFailureExit = 1;
constexpr std::size_t kMaxBodyBytes = 64 * 1024;

struct Options {
  std::string host = "127.0.0.1";
  int port = -1;
  std::string db;
  std::optional<std::string> import;
  std::optional<varnok::LocalDateTime> clock;
};

std::optional<int> parsePort(std::string_view text) {
  int port = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (ec != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

std::optional<varnok::LocalDateTime> parseClock(const std::string& text) {
  varnok::LocalDateTime t;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute, &t.second, &tail) != 6) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year{t.year},
                                         std::chrono::month{static_cast<unsigned>(t.month)},
                                         std::chrono::day{static_cast<unsigned>(t.day)}};
  if (!date.ok() || t.hour > 23 || t.minute > 59 || t.second > 59 || t.hour < 0 || t.minute < 0 ||
      t.second < 0) {
    return std::nullopt;
  }
  return t;
}

// Returns nothing after writing why the command line is wrong.
std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    constexpr std::string_view kKnown[] = {"--host", "--port", "--db", "--import", "--clock"};
    if (std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown)) {
      std::cerr << "varnok-store-server: unknown option " << name << '\n';
      return std::nullopt;
    }
    if (i + 1 >= argc) {
      std::cerr << "varnok-store-server: " << name << " needs a value\n";
      return std::nullopt;
    }
    const std::string value = argv[++i];
    if (name == "--host") {
      options.host = value;
    } else if (name == "--port") {
      const auto port = parsePort(value);
      if (!port) {
        std::cerr << "varnok-store-server: --port takes 0 to 65535, not " << value << '\n';
        return std::nullopt;
      }
      options.port = *port;
    } else if (name == "--db") {
      options.db = value;
    } else if (name == "--import") {
      options.import = value;
    } else {
      options.clock = parseClock(value);
      if (!options.clock) {
        std::cerr << "varnok-store-server: --clock takes \"YYYY-MM-DD HH:MM:SS\", not " << value
                  << '\n';
        return std::nullopt;
      }
    }
  }
  // Without a port the server only imports; that may run beside a server that serves
  // the same database.
  if (options.db.empty() || (options.port < 0 && !options.import)) {
    std::cerr << "varnok-store-server: --port and --db are required\n";
    return std::nullopt;
  }
  return options;
}

// Standard output carries the address line and then one line per request; lines from
// the worker threads must not interleave, and a reader must see each one at once.
std::mutex outputMutex;
void printLine(const std::string& line) {
  std::lock_guard lock(outputMutex);
  std::cout << line << std::endl;
}

void loadProducts(StoreDatabase& database, const std::optional<std::string>& csv) {
  if (!database.hasProducts()) {
    std::vector<Product> products;
    for (const CatalogueEntry& entry : sampleCatalogue()) {
      products.push_back({entry.codigo, entry.nome, entry.precoVenda, entry.id});
    }
    database.putProducts(products);
  }
  if (!csv) return;
  const CsvImport imported = readProductCsv(*csv);
  for (const CsvProblem& problem : imported.problems) {
    std::cerr << *csv << ':' << problem.line << ": " << problem.message << '\n';
  }
  database.putProducts(imported.products);
  const std::size_t refused = imported.problems.size();
  std::cerr << *csv << ": imported " << imported.products.size() << " products, refused " << refused
            << (refused == 1 ? " line\n" : " lines\n");
}

bool knownPath(const std::string& path) {
  for (const char* known : {"/app/buscaProduto", "//app/buscaProduto", "/app/salvarProdutoCheck",
                            "//app/salvarProdutoCheck"}) {
    if (path == known) return true;
  }
  return false;
}

void sendReply(httplib::Response& response, const Reply& reply) {
  response.status = reply.status;
  response.set_content(reply.body, "application/json; charset=utf-8");
}

// An empty header counts as none.
std::optional<std::string> authorizationOf(const httplib::Request& request) {
  std::string value = request.get_header_value("Authorization");
  if (value.empty()) return std::nullopt;
  return value;
}

void installRoutes(httplib::Server& server, StoreService& service) {
  // Unknown paths and other methods are refused before routing, for every method alike.
  server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
    if (!knownPath(request.path)) {
      sendReply(response, {404, failureEnvelope("Recurso não encontrado: " + request.path)});
      return httplib::Server::HandlerResponse::Handled;
    }
    if (request.method != "POST") {
      response.set_header("Allow", "POST");
      sendReply(response, {405, failureEnvelope("Método não permitido: " + request.method)});
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  for (const char* path : {"/app/buscaProduto", "//app/buscaProduto"}) {
    server.Post(path, [&service](const httplib::Request& request, httplib::Response& response) {
      sendReply(response, service.lookupProduct(authorizationOf(request), request.body));
    });
  }
  for (const char* path : {"/app/salvarProdutoCheck", "//app/salvarProdutoCheck"}) {
    server.Post(path, [&service](const httplib::Request& request, httplib::Response& response) {
      sendReply(response, service.saveProductCheck(authorizationOf(request), request.body));
    });
  }
  // Errors that the HTTP layer answers by itself (a request too large, a broken request
  // line) get the same envelope as ours.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const char* message =
            response.status == 413 ? "Corpo da requisição grande demais" : "Requisição inválida";
        sendReply(response, {response.status, failureEnvelope(message)});
        return httplib::Server::HandlerResponse::Handled;
      }));
  // Logged just before the reply goes out, so that a client that has its answer also
  // finds the line (the library's own logger runs after sending).
  server.set_post_routing_handler([](const httplib::Request& request, httplib::Response& response) {
    printLine(timestampText(varnok::localNow()) + ' ' + printableForLog(request.method) + ' ' +
              printableForLog(request.path) + ' ' + std::to_string(response.status) + ' ' +
              codigoForLog(request.body));
  });
  // The library's default adds SO_REUSEPORT, which would let a second server share our
  // port and take half of the requests; only the TIME_WAIT reuse is wanted.
  server.set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
}

// Binds the listening socket; the port is known (and printed) only after this.
int bind(httplib::Server& server, const Options& options) {
  if (options.port == 0) return server.bind_to_any_port(options.host);
  return server.bind_to_port(options.host, options.port) ? options.port : -1;
}

int serve(const Options& options) {
  StoreDatabase database(options.db);
  loadProducts(database, options.import);
  StoreService service(database);

  httplib::Server server;
  // The kiosk's bodies are a few hundred bytes; anything near this size is no request of it.
  server.set_payload_max_length(kMaxBodyBytes);
  installRoutes(server, service);
  const int port = bind(server, options);
  if (port < 0) {
    std::cerr << "varnok-store-server: cannot listen on " << options.host << ':' << options.port
              << '\n';
    return kFailureExit;
  }

  // SIGTERM and SIGINT are taken by sigwait on this thread; the HTTP threads never see
  // them. A listener that ends by itself raises SIGTERM to wake this thread too.
  std::atomic<bool> listenerDone = false;
  std::thread listener([&server, &listenerDone] {
    server.listen_after_bind();
    listenerDone = true;
    kill(getpid(), SIGTERM);
  });
  // A stop request reaches the listener only once its loop runs; the address line is
  // what tells a parent process that it may send one.
  while (!server.is_running() && !listenerDone) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // An IPv6 address goes between brackets in a URL.
  const bool ipv6 = options.host.find(':') != std::string::npos;
  const std::string host = ipv6 ? '[' + options.host + ']' : options.host;
  printLine("listening on http://" + host + ':' + std::to_string(port));

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  int received = 0;
  sigwait(&stopSignals, &received);
  server.stop();
  listener.join();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Blocked before any thread starts, so that every thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::cout << kUsage << '\n';
    return 0;
  }
  const auto options = parseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage << '\n';
    return kUsageExit;
  }
  if (options->clock) {
    const varnok::LocalDateTime fixed = *options->clock;
    varnok::setClock([fixed] { return fixed; });
  }
  try {
    if (options->port < 0) {
      StoreDatabase database(options->db);
      loadProducts(database, options->import);
      return 0;
    }
    return serve(*options);
  } catch (const std::exception& error) {
    std::cerr << "varnok-store-server: " << error.what() << '\n';
    return kFailureExit;
  }
}

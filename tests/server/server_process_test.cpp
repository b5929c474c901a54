// Starting, stopping and configuring the demo store server as a process.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "store_server_process.h"
#include "varnok/platform.h"
#include "varnok/request.h"

namespace {

using varnok::test::runStoreServerToExit;
using varnok::test::StoreServerProcess;

constexpr const char* kUsage =
    "usage: varnok-store-server --port PORT --db FILE [--host ADDR] [--import CSV] "
    "[--clock \"YYYY-MM-DD HH:MM:SS\"]\n"
    "       varnok-store-server --db FILE --import CSV\n";
const std::string kCsv = std::string(VARNOK_TEST_DATA_DIR) + "/server/products.csv";

std::string lookup(const StoreServerProcess& server, const std::string& codigo,
                   const std::string& authorization) {
  httplib::Client client("127.0.0.1", server.port());
  const httplib::Headers headers = {{"Authorization", authorization}};
  const auto result =
      client.Post("//app/buscaProduto", headers,
                  R"({"cnpj":"quorvel","codigo":")" + codigo + R"("})", "application/json");
  return result ? result->body : "no answer";
}

// The kiosk's own token for today, as the kiosk's library derives it.
std::string kioskToken() {
  const std::u16string header =
      varnok::authorizationHeader(u"quorvel", u"buscaProduto", varnok::localNow());
  return std::string(header.begin(), header.end());
}

TEST(StoreServerProcess, AnswersTheKiosksTokenOnTheSystemClock) {
  StoreServerProcess server;
  EXPECT_EQ(server.baseUrl(), "http://127.0.0.1:" + std::to_string(server.port()));
  EXPECT_EQ(lookup(server, "7891234567895", kioskToken()),
            R"({"success":true,"data":[{"id":1001,"nome":"Arroz 5kg","preco_venda":21.9}]})");
}

TEST(StoreServerProcess, StopsCleanlyOnTermAndInterrupt) {
  for (const int signalNumber : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signalNumber);
    StoreServerProcess server;
    const int port = server.port();
    EXPECT_EQ(server.stop(signalNumber), 0);
    EXPECT_EQ(server.stop(), 0) << "a second stop reports the same exit";
    httplib::Client client("127.0.0.1", port);
    EXPECT_FALSE(client.Post("/app/buscaProduto", "{}", "application/json"));
  }
}

TEST(StoreServerProcess, ImportsACsvOverTheSampleCatalogue) {
  StoreServerProcess server({"--import", kCsv});
  EXPECT_EQ(server.errorOutput(), kCsv + ":6: preco_venda \"abc\" is not a price such as 21.9\n" +
                                      kCsv + ": imported 4 products, refused 1 line\n");
  const std::string token = kioskToken();
  const struct {
    const char* codigo;
    const char* reply;
  } cases[] = {
      {"7891234567895",
       R"({"success":true,"data":[{"id":1001,"nome":"Arroz Integral 5kg","preco_venda":24.5}]})"},
      {"7899999999999",
       R"({"success":true,"data":[{"id":2001,"nome":"Biscoito Recheado, Chocolate 130g","preco_venda":3.49}]})"},
      {"0000078912342",
       R"({"success":true,"data":[{"id":2002,"nome":"Suco \"Natural\" de Laranja 300ml","preco_venda":6.9}]})"},
      {"0000000000789",
       R"({"success":true,"data":[{"id":2003,"nome":"Pão de Queijo kg","preco_venda":44.9}]})"},
      {"7899999999982", R"({"success":true,"data":[]})"},
      // The rest of the sample catalogue stays.
      {"0000000000456",
       R"({"success":true,"data":[{"id":1041,"nome":"Queijo Mussarela kg","preco_venda":39.9}]})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codigo);
    EXPECT_EQ(lookup(server, c.codigo, token), c.reply);
  }
}

// An installed server's catalogue is refreshed by a second run on its database.
TEST(StoreServerProcess, ImportsWithoutAPortIntoTheDatabaseOfARunningServer) {
  StoreServerProcess server;
  const std::string token = kioskToken();
  EXPECT_EQ(lookup(server, "7899999999999", token), R"({"success":true,"data":[]})");
  const auto import = runStoreServerToExit({"--db", server.db().string(), "--import", kCsv});
  EXPECT_EQ(import.exitStatus, 0);
  EXPECT_EQ(import.output, "");
  EXPECT_EQ(import.errorOutput, kCsv + ":6: preco_venda \"abc\" is not a price such as 21.9\n" +
                                    kCsv + ": imported 4 products, refused 1 line\n");
  EXPECT_EQ(
      lookup(server, "7899999999999", token),
      R"({"success":true,"data":[{"id":2001,"nome":"Biscoito Recheado, Chocolate 130g","preco_venda":3.49}]})");
}

TEST(StoreServerProcess, KeepsItsProductsAcrossARestart) {
  const std::filesystem::path db =
      testing::TempDir() + "varnok-restart-" + std::to_string(getpid()) + ".db";
  std::filesystem::remove(db);
  const std::string arroz =
      R"({"success":true,"data":[{"id":1001,"nome":"Arroz Integral 5kg","preco_venda":24.5}]})";
  {
    StoreServerProcess first(db, {"--import", kCsv});
    EXPECT_EQ(lookup(first, "7891234567895", kioskToken()), arroz);
  }
  // The sample catalogue goes only into an empty database: the imported price stays.
  StoreServerProcess second(db, {});
  EXPECT_EQ(lookup(second, "7891234567895", kioskToken()), arroz);
  EXPECT_EQ(
      lookup(second, "0000000000456", kioskToken()),
      R"({"success":true,"data":[{"id":1041,"nome":"Queijo Mussarela kg","preco_venda":39.9}]})");
  EXPECT_EQ(second.errorOutput(), "");
  EXPECT_EQ(second.stop(), 0);
  std::filesystem::remove(db);
}

TEST(StoreServerProcess, ExplainsItsCommandLineAndRefusesWhatItCannotStartWith) {
  StoreServerProcess busy;
  // Beside the running server's database, so that it goes away with its folder.
  const std::string db = (busy.db().parent_path() / "other.db").string();
  const std::string missingCsv = std::string(VARNOK_TEST_DATA_DIR) + "/server/absent.csv";
  const std::string busyPort = std::to_string(busy.port());
  const auto usage = [](const std::string& reason) {
    return "varnok-store-server: " + reason + "\n" + kUsage;
  };
  const std::string required = "--port and --db are required";
  const struct {
    std::vector<std::string> args;
    int exitStatus;
    std::string errorOutput;
  } cases[] = {
      {{}, 2, usage(required)},
      {{"--port", "0"}, 2, usage(required)},
      {{"--db", db}, 2, usage(required)},
      {{"--port", "65536", "--db", db}, 2, usage("--port takes 0 to 65535, not 65536")},
      {{"--port", "80x", "--db", db}, 2, usage("--port takes 0 to 65535, not 80x")},
      {{"--port", "0", "--db", db, "--verbose"}, 2, usage("unknown option --verbose")},
      {{"--port", "0", "--db", db, "--import"}, 2, usage("--import needs a value")},
      {{"--port", "0", "--db", db, "--clock", "2025-02-30 10:00:00"},
       2,
       usage("--clock takes \"YYYY-MM-DD HH:MM:SS\", not 2025-02-30 10:00:00")},
      {{"--port", "0", "--db", db, "--import", missingCsv},
       1,
       "varnok-store-server: cannot open " + missingCsv + "\n"},
      {{"--port", busyPort, "--db", db},
       1,
       "varnok-store-server: cannot listen on 127.0.0.1:" + busyPort + "\n"},
  };
  const auto help = runStoreServerToExit({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.output, kUsage);
  EXPECT_EQ(help.errorOutput, "");
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& arg : c.args) shown += arg + " ";
    SCOPED_TRACE(shown);
    const auto run = runStoreServerToExit(c.args);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    EXPECT_EQ(run.errorOutput, c.errorOutput);
    EXPECT_EQ(run.output, "");
  }
}

}  // namespace

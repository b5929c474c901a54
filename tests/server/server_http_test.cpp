// The demo store server as the kiosk meets it: a real process on 127.0.0.1, spoken to
// with hand-built HTTP requests.
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>

#include <optional>
#include <string>
#include <vector>

#include "store_server_process.h"
#include "varnok/token_suffix.h"

namespace {

using varnok::test::StoreServerProcess;

constexpr const char* kLookup = "//app/buscaProduto";
constexpr const char* kCheck = "//app/salvarProdutoCheck";
// Every test server but one runs on this frozen local time, so that tokens and
// arrival times are known in advance.
constexpr const char* kFrozenClock = "2025-12-09 12:00:00";
constexpr const char* kToday = "091225";

// The kiosk's token, derived here with OpenSSL alone so that the server's derivation is
// checked against an independent one: MD5 of store + segment + ddmmyy + suffix.
std::string token(std::string_view store, std::string_view segment, std::string_view ddmmyy) {
  const std::string source =
      std::string(store) + std::string(segment) + std::string(ddmmyy) + varnok::kTokenSuffixAscii;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(source.data(), source.size(), digest, &size, EVP_md5(), nullptr);
  std::string hex = "Basic";
  for (unsigned int i = 0; i < size; ++i) {
    constexpr char kDigits[] = "0123456789abcdef";
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 0xF];
  }
  return hex;
}

std::string lookupToken(std::string_view store = "quorvel") {
  return token(store, "buscaProduto", kToday);
}
std::string checkToken(std::string_view store = "quorvel") {
  return token(store, "salvarProdutoCheck", kToday);
}

struct Answer {
  int status = 0;
  std::string body;
  std::string allow;
};

Answer send(const StoreServerProcess& server, const std::string& method, const std::string& path,
            const std::string& body, const std::optional<std::string>& authorization) {
  httplib::Client client("127.0.0.1", server.port());
  httplib::Headers headers;
  if (authorization) headers.emplace("Authorization", *authorization);
  httplib::Request request;
  request.method = method;
  request.path = path;
  request.headers = headers;
  request.body = body;
  if (!body.empty()) request.set_header("Content-Type", "application/json");
  const httplib::Result result = client.send(request);
  if (!result) return {};
  return {result->status, result->body, result->get_header_value("Allow")};
}

Answer post(const StoreServerProcess& server, const std::string& path, const std::string& body,
            const std::optional<std::string>& authorization) {
  return send(server, "POST", path, body, authorization);
}

std::string lookupBody(std::string_view codigo, std::string_view store = "quorvel") {
  return R"({"cnpj":")" + std::string(store) + R"(","codigo":")" + std::string(codigo) + R"("})";
}

std::string checkBody(std::string_view members) {
  return std::string(R"({"CNPJ":"quorvel","CODIGO":"0000000000456","ID_PRODUTO":1041,)") +
         std::string(members) + "}";
}

constexpr const char* kScaleCheckMembers =
    R"("CODIGO_BALANCA":"2045600012508","PRECO_VENDA":39.9,"QTD":1.25,"ID_USUARIO":7)";

class StoreServer : public testing::Test {
 protected:
  StoreServer() : server_({"--clock", kFrozenClock}) {}
  StoreServerProcess server_;
};

TEST_F(StoreServer, LooksProductsUp) {
  const struct {
    const char* path;
    const char* codigo;
    const char* reply;
  } cases[] = {
      {"/app/buscaProduto", "7891234567895",
       R"({"success":true,"data":[{"id":1001,"nome":"Arroz 5kg","preco_venda":21.9}]})"},
      {kLookup, "7891234567895",
       R"({"success":true,"data":[{"id":1001,"nome":"Arroz 5kg","preco_venda":21.9}]})"},
      {kLookup, "7891000100028",
       R"({"success":true,"data":[{"id":1003,"nome":"Açúcar Refinado 1kg","preco_venda":4.79}]})"},
      // An EAN-8 as the kiosk pads it; the bare eight digits are not a stored code.
      {kLookup, "0000078910003",
       R"({"success":true,"data":[{"id":1036,"nome":"Chiclete Hortelã","preco_venda":1.5}]})"},
      {kLookup, "78910003", R"({"success":true,"data":[]})"},
      // The item code of scale label 2045600012508.
      {kLookup, "0000000000456",
       R"({"success":true,"data":[{"id":1041,"nome":"Queijo Mussarela kg","preco_venda":39.9}]})"},
      {kLookup, "7890000000000", R"({"success":true,"data":[]})"},
      {kLookup, "", R"({"success":true,"data":[]})"},
      {kLookup, "' OR '1'='1", R"({"success":true,"data":[]})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.codigo);
    const Answer answer = post(server_, c.path, lookupBody(c.codigo), lookupToken());
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, c.reply);
  }
}

TEST_F(StoreServer, ChecksTheDailyToken) {
  const std::string found =
      R"({"success":true,"data":[{"id":1001,"nome":"Arroz 5kg","preco_venda":21.9}]})";
  const std::string missing = R"({"success":false,"message":"Autorização ausente"})";
  const std::string invalid =
      R"({"success":false,"message":"Autorização inválida para esta loja ou data"})";
  const std::string arroz = lookupBody("7891234567895");
  const struct {
    const char* what;
    std::string body;
    std::optional<std::string> authorization;
    std::string reply;
  } cases[] = {
      {"right token", arroz, lookupToken(), found},
      {"store member in upper case", R"({"CNPJ":"quorvel","codigo":"7891234567895"})",
       lookupToken(), found},
      {"no header", arroz, std::nullopt, missing},
      {"empty header", arroz, "", missing},
      {"garbage", arroz, "Basic0123", invalid},
      {"blank after Basic", arroz, "Basic " + lookupToken().substr(5), invalid},
      {"yesterday", arroz, token("quorvel", "buscaProduto", "081225"), invalid},
      {"tomorrow", arroz, token("quorvel", "buscaProduto", "101225"), invalid},
      {"same day last year", arroz, token("quorvel", "buscaProduto", "091224"), invalid},
      {"another store", arroz, lookupToken("outraloja"), invalid},
      {"token of the other resource", arroz, checkToken(), invalid},
      // Characters beyond ASCII are hashed as "?", a surrogate pair as one character.
      {"store with accent", lookupBody("7891234567895", "Loja São"), lookupToken("Loja S?o"),
       found},
      {"store beyond the BMP", lookupBody("7891234567895", "Loja 😀"), lookupToken("Loja ?"), found},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Answer answer = post(server_, kLookup, c.body, c.authorization);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, c.reply);
  }
}

TEST_F(StoreServer, StoresCheckRecordsWithTheirArrivalTime) {
  Answer answer = post(server_, kCheck, checkBody(kScaleCheckMembers), checkToken());
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, R"({"success":true,"data":{"id":1}})");
  // A refused token stores nothing.
  answer = post(server_, kCheck, checkBody(kScaleCheckMembers), lookupToken());
  EXPECT_EQ(answer.body,
            R"({"success":false,"message":"Autorização inválida para esta loja ou data"})");
  answer = post(server_, "/app/salvarProdutoCheck",
                R"({"CNPJ":"Loja São","CODIGO":"7891234567895","ID_PRODUTO":9223372036854775807,)"
                R"("CODIGO_BALANCA":"7891234567895","PRECO_VENDA":21.9,"QTD":0.313,)"
                R"("ID_USUARIO":-3})",
                token("Loja S?o", "salvarProdutoCheck", kToday));
  EXPECT_EQ(answer.body, R"({"success":true,"data":{"id":2}})");

  const auto checks = server_.storedChecks();
  ASSERT_EQ(checks.size(), 2u);
  EXPECT_EQ(checks[0].id, 1);
  EXPECT_EQ(checks[0].receivedAt, kFrozenClock);
  EXPECT_EQ(checks[0].cnpj, "quorvel");
  EXPECT_EQ(checks[0].codigo, "0000000000456");
  EXPECT_EQ(checks[0].idProduto, 1041);
  EXPECT_EQ(checks[0].codigoBalanca, "2045600012508");
  EXPECT_EQ(checks[0].precoVenda, 39.9);
  EXPECT_EQ(checks[0].qtd, 1.25);
  EXPECT_EQ(checks[0].idUsuario, 7);
  EXPECT_EQ(checks[1].cnpj, "Loja São");
  EXPECT_EQ(checks[1].idProduto, 9223372036854775807);
  EXPECT_EQ(checks[1].qtd, 0.313);
  EXPECT_EQ(checks[1].idUsuario, -3);
}

TEST_F(StoreServer, AnswersMalformedRequestsWithAClientError) {
  const auto failure = [](const char* message) {
    return std::string(R"({"success":false,"message":")") + message + "\"}";
  };
  const std::string lookupAuth = lookupToken();
  const std::string checkAuth = checkToken();
  const struct {
    const char* method;
    const char* path;
    std::string body;
    std::string authorization;
    int status;
    std::string reply;
  } cases[] = {
      {"POST", kLookup, R"({"cnpj":)", lookupAuth, 400,
       failure("Corpo da requisição não é JSON válido")},
      {"POST", kLookup, "", lookupAuth, 400, failure("Corpo da requisição não é JSON válido")},
      {"POST", kLookup, R"({"cnpj":"quorvel"} x)", lookupAuth, 400,
       failure("Corpo da requisição não é JSON válido")},
      {"POST", kLookup, "[]", lookupAuth, 400,
       failure("Corpo da requisição deve ser um objeto JSON")},
      {"POST", kLookup, R"({"codigo":"7891234567895"})", lookupAuth, 400,
       failure(R"(Campo \"cnpj\" ausente)")},
      {"POST", kLookup, R"({"cnpj":null,"codigo":"7891234567895"})", lookupAuth, 400,
       failure(R"(Campo \"cnpj\" deve ser texto)")},
      {"POST", kLookup, R"({"cnpj":"quorvel"})", lookupAuth, 400,
       failure(R"(Campo \"codigo\" ausente)")},
      {"POST", kLookup, R"({"cnpj":"quorvel","codigo":7891234567895})", lookupAuth, 400,
       failure(R"(Campo \"codigo\" deve ser texto)")},
      {"POST", kLookup, R"({"cnpj":"quorvel","codigo":"1","CODIGO":"2"})", lookupAuth, 400,
       failure(R"(Campo \"codigo\" repetido)")},
      {"POST", kCheck, checkBody(R"("PRECO_VENDA":39.9,"QTD":1.25,"ID_USUARIO":7)"), checkAuth, 400,
       failure(R"(Campo \"CODIGO_BALANCA\" ausente)")},
      {"POST", kCheck,
       checkBody(
           R"("CODIGO_BALANCA":"2045600012508","PRECO_VENDA":"39.9","QTD":1.25,"ID_USUARIO":7)"),
       checkAuth, 400, failure(R"(Campo \"PRECO_VENDA\" deve ser número)")},
      {"POST", kCheck,
       checkBody(
           R"("CODIGO_BALANCA":"2045600012508","PRECO_VENDA":39.9,"QTD":true,"ID_USUARIO":7)"),
       checkAuth, 400, failure(R"(Campo \"QTD\" deve ser número)")},
      {"POST", kCheck,
       checkBody(
           R"("CODIGO_BALANCA":"2045600012508","PRECO_VENDA":39.9,"QTD":1.25,"ID_USUARIO":7.5)"),
       checkAuth, 400, failure(R"(Campo \"ID_USUARIO\" deve ser número inteiro de 64 bits)")},
      {"POST", kCheck,
       checkBody(
           R"("CODIGO_BALANCA":"2045600012508","PRECO_VENDA":39.9,"QTD":1.25,"ID_USUARIO":9223372036854775808)"),
       checkAuth, 400, failure(R"(Campo \"ID_USUARIO\" deve ser número inteiro de 64 bits)")},
      {"POST", kLookup, std::string(70000, ' ') + lookupBody("7891234567895"), lookupAuth, 413,
       failure("Corpo da requisição grande demais")},
      {"GET", kLookup, "", lookupAuth, 405, failure("Método não permitido: GET")},
      {"PUT", "/app/salvarProdutoCheck", checkBody(kScaleCheckMembers), checkAuth, 405,
       failure("Método não permitido: PUT")},
      {"DELETE", kCheck, "", checkAuth, 405, failure("Método não permitido: DELETE")},
      {"POST", "/app/outraCoisa", lookupBody("7891234567895"), lookupAuth, 404,
       failure("Recurso não encontrado: /app/outraCoisa")},
      {"POST", "///app/buscaProduto", lookupBody("7891234567895"), lookupAuth, 404,
       failure("Recurso não encontrado: ///app/buscaProduto")},
      {"POST", "/app/buscaproduto", lookupBody("7891234567895"), lookupAuth, 404,
       failure("Recurso não encontrado: /app/buscaproduto")},
      {"GET", "/", "", lookupAuth, 404, failure("Recurso não encontrado: /")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path + " " + c.body.substr(0, 200));
    const Answer answer = send(server_, c.method, c.path, c.body, c.authorization);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.reply);
    if (c.status == 405) {
      EXPECT_EQ(answer.allow, "POST");
    }
  }
  EXPECT_TRUE(server_.storedChecks().empty());
}

TEST_F(StoreServer, LogsOneLinePerRequest) {
  post(server_, kLookup, lookupBody("7891234567895"), lookupToken());
  post(server_, "/app/buscaProduto", lookupBody(R"(bad\ncode)"), std::nullopt);
  send(server_, "GET", "/nada", "", std::nullopt);
  post(server_, kCheck, checkBody(kScaleCheckMembers), checkToken());
  post(server_, kCheck, "{", checkToken());

  const std::string expected =
      "listening on " + server_.baseUrl() + "\n" +
      "2025-12-09 12:00:00 POST //app/buscaProduto 200 7891234567895\n"
      "2025-12-09 12:00:00 POST /app/buscaProduto 200 bad?code\n"
      "2025-12-09 12:00:00 GET /nada 404 -\n"
      "2025-12-09 12:00:00 POST //app/salvarProdutoCheck 200 0000000000456\n"
      "2025-12-09 12:00:00 POST //app/salvarProdutoCheck 400 -\n";
  EXPECT_EQ(server_.outputWithLines(6), expected);
}

// Near midnight the token of the neighbouring day is accepted as well.
TEST(StoreServerClock, AcceptsTheNeighbouringDayCloseToMidnight) {
  const struct {
    const char* clock;
    const char* tokenDay;
    bool accepted;
  } cases[] = {
      {"2025-12-10 00:00:00", "091225", true},  {"2025-12-10 00:04:59", "091225", true},
      {"2025-12-10 00:05:00", "091225", false}, {"2025-12-10 00:04:00", "101225", true},
      {"2025-12-09 23:55:00", "101225", true},  {"2025-12-09 23:54:59", "101225", false},
      {"2025-12-09 23:59:59", "081225", false}, {"2026-01-01 00:01:00", "311225", true},
      {"2024-02-29 23:58:00", "010324", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.clock) + " with the token of " + c.tokenDay);
    StoreServerProcess server({"--clock", c.clock});
    const Answer answer = post(server, kLookup, lookupBody("7890000000000"),
                               token("quorvel", "buscaProduto", c.tokenDay));
    EXPECT_EQ(answer.body,
              c.accepted
                  ? R"({"success":true,"data":[]})"
                  : R"({"success":false,"message":"Autorização inválida para esta loja ou data"})");
  }
}

}  // namespace

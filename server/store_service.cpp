#include "store_service.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

#include "request_token.h"
#include "varnok/platform.h"

namespace varnok::store {

namespace {

using json = nlohmann::ordered_json;

// A request the client must mend; answered with status and the message in the envelope.
struct BadRequest {
  int status;
  std::string message;
};

// Invalid UTF-8 (an unknown path echoed back, say) must not stop a reply from being written.
std::string dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string successEnvelope(json data) {
  return dump(json{{"success", true}, {"data", std::move(data)}});
}

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

json parseObject(std::string_view body) {
  json document = json::parse(body, nullptr, false);
  if (document.is_discarded()) throw BadRequest{400, "Corpo da requisição não é JSON válido"};
  if (!document.is_object()) throw BadRequest{400, "Corpo da requisição deve ser um objeto JSON"};
  return document;
}

// The kiosk's own JSON library matches member names without regard to ASCII case, so
// the store does too; two members that differ only in case are ambiguous.
const json* findMember(const json& object, std::string_view name) {
  const json* found = nullptr;
  for (const auto& [key, value] : object.items()) {
    if (!sameIgnoringAsciiCase(key, name)) continue;
    if (found) throw BadRequest{400, "Campo \"" + std::string(name) + "\" repetido"};
    found = &value;
  }
  return found;
}

const json& requireMember(const json& object, std::string_view name) {
  const json* member = findMember(object, name);
  if (!member) throw BadRequest{400, "Campo \"" + std::string(name) + "\" ausente"};
  return *member;
}

std::string requireText(const json& object, std::string_view name) {
  const json& member = requireMember(object, name);
  if (!member.is_string())
    throw BadRequest{400, "Campo \"" + std::string(name) + "\" deve ser texto"};
  return member.get<std::string>();
}

std::int64_t requireInteger(const json& object, std::string_view name) {
  const json& member = requireMember(object, name);
  const bool fits = member.is_number_integer() &&
                    (!member.is_number_unsigned() ||
                     member.get<std::uint64_t>() <=
                         static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()));
  if (!fits) {
    throw BadRequest{400, "Campo \"" + std::string(name) + "\" deve ser número inteiro de 64 bits"};
  }
  return member.get<std::int64_t>();
}

double requireNumber(const json& object, std::string_view name) {
  const json& member = requireMember(object, name);
  if (!member.is_number())
    throw BadRequest{400, "Campo \"" + std::string(name) + "\" deve ser número"};
  return member.get<double>();
}

// Returns a failure envelope (status 200, as the kiosk expects it) when the token does
// not belong to this store, resource and day.
std::optional<Reply> refuseToken(const std::optional<std::string>& authorization,
                                 std::string_view store, std::string_view segment) {
  if (!authorization) return Reply{200, failureEnvelope("Autorização ausente")};
  if (!tokenAccepted(*authorization, store, segment, localNow())) {
    return Reply{200, failureEnvelope("Autorização inválida para esta loja ou data")};
  }
  return std::nullopt;
}

template <typename Handler>
Reply guarded(Handler&& handler) {
  try {
    return handler();
  } catch (const BadRequest& bad) {
    return Reply{bad.status, failureEnvelope(bad.message)};
  } catch (const std::exception&) {
    return Reply{500, failureEnvelope("Erro interno do servidor")};
  }
}

}  // namespace

std::string timestampText(const LocalDateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string failureEnvelope(std::string_view message) {
  return dump(json{{"success", false}, {"message", message}});
}

Reply StoreService::lookupProduct(const std::optional<std::string>& authorization,
                                  std::string_view body) {
  return guarded([&] {
    const json request = parseObject(body);
    const std::string store = requireText(request, "cnpj");
    if (auto refused = refuseToken(authorization, store, "buscaProduto")) return *refused;
    const std::string codigo = requireText(request, "codigo");

    json products = json::array();
    if (const auto product = database_.findProduct(codigo)) {
      products.push_back(
          {{"id", product->id}, {"nome", product->nome}, {"preco_venda", product->precoVenda}});
    }
    return Reply{200, successEnvelope(std::move(products))};
  });
}

Reply StoreService::saveProductCheck(const std::optional<std::string>& authorization,
                                     std::string_view body) {
  return guarded([&] {
    const json request = parseObject(body);
    CheckRecord check;
    check.cnpj = requireText(request, "CNPJ");
    if (auto refused = refuseToken(authorization, check.cnpj, "salvarProdutoCheck"))
      return *refused;
    check.codigo = requireText(request, "CODIGO");
    check.idProduto = requireInteger(request, "ID_PRODUTO");
    check.codigoBalanca = requireText(request, "CODIGO_BALANCA");
    check.precoVenda = requireNumber(request, "PRECO_VENDA");
    check.qtd = requireNumber(request, "QTD");
    check.idUsuario = requireInteger(request, "ID_USUARIO");

    const std::int64_t id = database_.addCheck(check, timestampText(localNow()));
    return Reply{200, successEnvelope(json{{"id", id}})};
  });
}

std::string codigoForLog(std::string_view body) {
  const json request = json::parse(body, nullptr, false);
  if (!request.is_object()) return "-";
  std::string codigo;
  try {
    const json* member = findMember(request, "codigo");
    if (!member || !member->is_string()) return "-";
    codigo = member->get<std::string>();
  } catch (const BadRequest&) {
    return "-";
  }
  constexpr std::size_t kMaxShown = 40;
  if (codigo.size() > kMaxShown) codigo = codigo.substr(0, kMaxShown) + "...";
  return codigo.empty() ? "-" : printableForLog(std::move(codigo));
}

std::string printableForLog(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

}  // namespace varnok::store

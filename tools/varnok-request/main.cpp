// varnok-request --host H --port P --store S RESOURCE [BODY]
//
// Posts BODY (a JSON text; standard input when it is not given) to RESOURCE of the
// store server at http://H:P exactly as the kiosk does, then prints "true" or "false"
// and the reply text on two lines. Exit status: 0 for true, 1 for false, 2 for a usage
// error, 3 when the error log beside the executable cannot be written.
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "varnok/log.h"
#include "varnok/regional.h"
#include "varnok/request.h"
#include "varnok/utf.h"

namespace {

constexpr char kUsage[] = "usage: varnok-request --host H --port P --store S RESOURCE [BODY]";

struct Arguments {
  std::string host;
  std::string port;
  std::string store;
  std::string resource;
  std::optional<std::string> body;
};

// The port as the kiosk's settings hold it: a decimal number from 0 to 65535.
bool isPort(std::string_view text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
    return false;
  }
  return std::stoi(std::string(text)) <= 65535;
}

std::optional<Arguments> parseArguments(const std::vector<std::string_view>& args) {
  Arguments parsed;
  std::optional<std::string> host, port, store;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    std::optional<std::string>* option = arg == "--host"    ? &host
                                         : arg == "--port"  ? &port
                                         : arg == "--store" ? &store
                                                            : nullptr;
    if (option != nullptr) {
      if (i + 1 == args.size() || option->has_value()) {
        return std::nullopt;
      }
      *option = std::string(args[++i]);
    } else if (arg.size() > 1 && arg.front() == '-' && arg != "-") {
      return std::nullopt;
    } else {
      positional.emplace_back(arg);
    }
  }
  if (!host || !port || !store || !isPort(*port) || positional.empty() || positional.size() > 2) {
    return std::nullopt;
  }
  parsed.host = *host;
  parsed.port = std::to_string(std::stoi(*port));
  parsed.store = *store;
  parsed.resource = positional[0];
  if (positional.size() == 2) {
    parsed.body = positional[1];
  }
  return parsed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage << '\n';
    return 0;
  }
  const std::optional<Arguments> parsed = parseArguments(args);
  if (!parsed) {
    std::cerr << kUsage << '\n';
    return 2;
  }
  // Like the kiosk: the log's separators come from the locale we were started with.
  varnok::setRegionalSettings(varnok::readSystemRegionalSettings());

  const std::string body = parsed->body ? *parsed->body
                                        : std::string(std::istreambuf_iterator<char>(std::cin),
                                                      std::istreambuf_iterator<char>());
  using varnok::json::FromUtf8;
  using varnok::json::ToUtf8;
  const std::u16string baseUrl = FromUtf8("http://" + parsed->host + ":" + parsed->port);

  std::u16string reply;
  bool result = false;
  try {
    result = varnok::SendRequest(reply, FromUtf8(parsed->resource), baseUrl,
                                 FromUtf8(parsed->store), FromUtf8(body));
  } catch (const varnok::InputOutputError& error) {
    std::cerr << "varnok-request: cannot write the error log: " << error.what() << '\n';
    return 3;
  }
  std::cout << (result ? "true" : "false") << '\n' << ToUtf8(reply) << '\n';
  return result ? 0 : 1;
}

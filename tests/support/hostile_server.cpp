// varnok-hostile-server: a store server that misbehaves on purpose, for
// scripts/hostile-servers. It listens on 127.0.0.1 (the port given, 0 for any) and
// prints "listening on http://127.0.0.1:PORT", then one line per request it read:
// "request PATH CODIGO" (CODIGO or CODIGO of the body, "-" when it has none).
//
// A lookup of codigo 00000000000NN (the scale label 200NN00012508 with Tamanho 4) gets
// the hostile reply of case NN; any other lookup, and every check record, gets an
// ordinary answer. Lines on standard input steer it: "refuse" stops listening, so that
// connections are refused, and "accept" listens again on the same port.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>

#include "raw_server.h"

namespace {

using std::chrono::milliseconds;
using varnok::test::httpReply;
using varnok::test::RawConnection;

constexpr char kJson[] = "application/json";

std::string product(const std::string& name, int id) {
  return R"({"success":true,"data":[{"nome":")" + name + R"(","preco_venda":10.5,"id":)" +
         std::to_string(id) + "}]}";
}

// The value of a string member named name in a request body, or "-".
std::string member(const std::string& body, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const std::size_t at = body.find(key);
  if (at == std::string::npos) {
    return "-";
  }
  const std::size_t begin = at + key.size();
  const std::size_t end = body.find('"', begin);
  return end == std::string::npos ? "-" : body.substr(begin, end - begin);
}

void sendHeadThenDrip(RawConnection& c, const std::string& body, milliseconds gap) {
  const std::string reply = httpReply(200, kJson, body);
  const std::size_t head = reply.size() - body.size();
  c.send(reply.substr(0, head)) && c.drip(reply.substr(head), gap);
}

std::string nested(std::size_t depth) {
  return R"({"success":true,"data":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

std::string bigArray(std::size_t bytes) {
  std::string array = "[1";
  array.reserve(bytes + 2);
  while (array.size() < bytes) array += ",1";
  return array + "]";
}

void hostile(RawConnection& c, int number) {
  switch (number) {
    case 2:  // accepted, never answered
      c.waitForClose(std::chrono::minutes(2));
      return;
    case 3:  // slow but steady: the body a byte every 100 ms
      sendHeadThenDrip(c, product("Devagar", 3), milliseconds(100));
      return;
    case 4:  // a drip past the total limit: a byte every 100 ms for 60 s
      sendHeadThenDrip(c, R"({"success":true,"data":")" + std::string(600, 'x') + "\"}",
                       milliseconds(100));
      return;
    case 5:
      c.send("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
      return;
    case 6:
      c.send(httpReply(206, kJson, product("Parcial", 6)));
      return;
    case 7:
      c.send(httpReply(404, "text/html", "<html><body>Not Found</body></html>"));
      return;
    case 8:
      c.send(httpReply(500, kJson, R"({"success":false,"message":"erro interno"})"));
      return;
    case 9:  // a redirect loop; 307 repeats the POST with its body, so it comes back here
      c.send(
          "HTTP/1.1 307 Again\r\nLocation: /app/buscaProduto?again\r\nContent-Length: 0\r\n"
          "Connection: close\r\n\r\n");
      return;
    case 10: {  // a 100 MB body
      constexpr std::size_t kBody = std::size_t{100} * 1024 * 1024;
      c.send("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
             std::to_string(kBody) + "\r\nConnection: close\r\n\r\n");
      const std::string chunk(64 * 1024, ' ');
      for (std::size_t sent = 0; sent < kBody && c.send(chunk); sent += chunk.size()) {
      }
      return;
    }
    case 11:  // Windows-1252 "Pão"
      c.send(httpReply(200, kJson, product("P\xE3o", 11)));
      return;
    case 12:
      c.send(httpReply(200, kJson, "\xEF\xBB\xBF" + product("Com BOM", 12)));
      return;
    case 13:
      c.send(httpReply(200, kJson, nested(100000)));
      return;
    case 14:
      c.send(httpReply(200, kJson, R"([{"nome":"Solto","preco_venda":1,"id":14}])"));
      return;
    case 15:
      c.send(httpReply(200, kJson, bigArray(15 * 1000 * 1000)));
      return;
    case 16:
      c.send(httpReply(200, kJson, R"({"success":false,"message":"Produto bloqueado"})"));
      return;
    case 17:
      c.send(
          httpReply(200, kJson,
                    R"({"success":"true","data":[{"nome":"Texto","preco_venda":10.5,"id":17}]})"));
      return;
    case 18:
      c.send(
          "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 900\r\n"
          "Connection: close\r\n\r\n" +
          product("Curto", 18));
      return;
    case 19:
      c.send("SSH-2.0-OpenSSH_9.2\r\nProtocol mismatch.\r\n");
      return;
    case 20: {
      const std::string reply = httpReply(200, kJson, product("Cortado", 20));
      c.send(reply.substr(0, reply.size() - 15));
      c.pause(milliseconds(50));
      c.reset();
      return;
    }
    case 21:
      c.send(httpReply(200, kJson, product(std::string(5000, 'N'), 21)));
      return;
    case 22:
      c.send(httpReply(
          200, kJson,
          product("<b>Negrito</b> <img src=x> \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xF0\x9F\x98\x80",
                  22)));
      return;
    case 23: {  // the largest reply under the 16 MiB cap: {"success":true,"data":[1,1,...]}
      std::string body = R"({"success":true,"data":[1)";
      const std::size_t size = std::size_t{16} * 1024 * 1024 - 4;
      body.reserve(size + 2);
      while (body.size() + 2 < size) body += ",1";
      c.send(httpReply(200, kJson, body + "]}"));
      return;
    }
    default:
      c.send(httpReply(200, kJson, product("Normal", 999)));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int wantedPort = argc == 3 && std::string(argv[1]) == "--port" ? std::atoi(argv[2]) : -1;
  if (wantedPort != 0) {
    std::cerr << "usage: varnok-hostile-server --port 0\n";
    return 2;
  }
  varnok::test::RawServer server([](RawConnection& c) {
    const std::string request = c.readRequest();
    if (request.empty()) {
      return;
    }
    const std::string path = request.substr(5, request.find(' ', 5) - 5);
    const std::string body = request.substr(request.find("\r\n\r\n") + 4);
    std::string codigo = member(body, "codigo");
    if (codigo == "-") codigo = member(body, "CODIGO");
    std::printf("request %s %s\n", path.c_str(), codigo.c_str());
    std::fflush(stdout);
    const bool lookup = path.find("buscaProduto") != std::string::npos;
    const int number = lookup && codigo.size() == 13 && codigo.rfind("00000000000", 0) == 0
                           ? std::atoi(codigo.c_str() + 11)
                           : 0;
    if (!lookup) {
      c.send(httpReply(200, kJson, R"({"success":true,"data":null})"));
      return;
    }
    hostile(c, number);
  });
  std::printf("listening on %s\n", server.baseUrl().c_str());
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
    if (line == "refuse") server.setListening(false);
    if (line == "accept") server.setListening(true);
    std::printf("%s\n", line == "refuse" || line == "accept" ? line.c_str() : "unknown command");
    std::fflush(stdout);
  }
  return 0;
}

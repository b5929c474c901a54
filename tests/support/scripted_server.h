// A scripted HTTP server on 127.0.0.1 for tests: it answers every request with what the
// test's handler returns and records each request as it arrived, so that tests can
// check the request line, headers and body that a client really sent.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace varnok::test {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct RecordedRequest {
  std::string method;
  std::string target;       // as sent, not decoded or normalised
  std::string requestLine;  // method, target and version, as sent
  HeaderList headers;       // names as sent, sorted by name ignoring case
  std::string body;

  // The value of the first header of that name (ASCII case ignored), or "" with found
  // set to false.
  std::string header(std::string_view name, bool* found = nullptr) const;
};

struct ScriptedReply {
  int status = 200;
  // Sent as the Content-Type header; none at all when empty.
  std::string contentType = "application/json";
  std::string body;
  HeaderList headers;
  // A body that never ends: bytes sent in chunks until the client gives up.
  bool endlessBody = false;
  // The request is read and never answered, until the server stops.
  bool neverAnswer = false;
};

// A plain reply: status, Content-Type (none when empty), body and further headers.
ScriptedReply makeReply(int status, std::string contentType, std::string body,
                        HeaderList headers = {});

class ScriptedServer {
 public:
  using Handler = std::function<ScriptedReply(const RecordedRequest&)>;

  // Listens on 127.0.0.1 on a port the system picks; answers 404 until scripted.
  ScriptedServer();
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const noexcept { return port_; }
  // "http://127.0.0.1:" + port, without a "/" at the end.
  std::string baseUrl() const;

  void setHandler(Handler handler);
  // The same reply to every request.
  void setReply(ScriptedReply reply);

  std::vector<RecordedRequest> requests() const;

 private:
  void serve(const RecordedRequest& request, ScriptedReply& reply);

  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable stopping_;
  bool stopped_ = false;
  Handler handler_;
  std::vector<RecordedRequest> requests_;
};

}  // namespace varnok::test

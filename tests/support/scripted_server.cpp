#include "scripted_server.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>

namespace varnok::test {
namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The server library files the peer's addresses among the headers; they were not sent.
bool isServerAddedHeader(std::string_view name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
         name == "LOCAL_PORT";
}

RecordedRequest record(const httplib::Request& req) {
  RecordedRequest request;
  request.method = req.method;
  request.target = req.target;
  request.requestLine = req.method + " " + req.target + " " + req.version;
  for (const auto& [name, value] : req.headers) {
    if (!isServerAddedHeader(name)) {
      request.headers.emplace_back(name, value);
    }
  }
  request.body = req.body;
  return request;
}

}  // namespace

ScriptedReply makeReply(int status, std::string contentType, std::string body, HeaderList headers) {
  ScriptedReply reply;
  reply.status = status;
  reply.contentType = std::move(contentType);
  reply.body = std::move(body);
  reply.headers = std::move(headers);
  return reply;
}

std::string RecordedRequest::header(std::string_view name, bool* found) const {
  for (const auto& [headerName, value] : headers) {
    if (equalIgnoringCase(headerName, name)) {
      if (found != nullptr) {
        *found = true;
      }
      return value;
    }
  }
  if (found != nullptr) {
    *found = false;
  }
  return {};
}

ScriptedServer::ScriptedServer() : server_(std::make_unique<httplib::Server>()) {
  const auto handle = [this](const httplib::Request& req, httplib::Response& res) {
    ScriptedReply reply;
    serve(record(req), reply);
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers) {
      res.set_header(name, value);
    }
    if (reply.endlessBody) {
      res.set_chunked_content_provider(reply.contentType, [this](size_t, httplib::DataSink& sink) {
        static const std::string chunk(64 * 1024, ' ');
        {
          std::lock_guard lock(mutex_);
          if (stopped_) {
            return false;
          }
        }
        return sink.write(chunk.data(), chunk.size());
      });
    } else if (!reply.contentType.empty()) {
      res.set_content(reply.body, reply.contentType);
    } else {
      res.body = reply.body;
    }
  };
  for (auto method : {&httplib::Server::Get, &httplib::Server::Post, &httplib::Server::Put,
                      &httplib::Server::Delete}) {
    (server_.get()->*method)(".*", handle);
  }

  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) {
    throw std::runtime_error("scripted server: cannot listen on 127.0.0.1");
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() does nothing before the accept loop runs, so wait for it to start.
  while (!server_->is_running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  stopping_.notify_all();
  server_->stop();
  thread_.join();
}

std::string ScriptedServer::baseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

void ScriptedServer::setHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void ScriptedServer::setReply(ScriptedReply reply) {
  setHandler([reply = std::move(reply)](const RecordedRequest&) { return reply; });
}

std::vector<RecordedRequest> ScriptedServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::serve(const RecordedRequest& request, ScriptedReply& reply) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    handler = handler_;
  }
  if (!handler) {
    reply = makeReply(404, "text/plain", "not scripted");
    return;
  }
  reply = handler(request);
  if (reply.neverAnswer) {
    std::unique_lock lock(mutex_);
    stopping_.wait(lock, [this] { return stopped_; });
    reply = makeReply(503, "text/plain", "stopped");
  }
}

}  // namespace varnok::test

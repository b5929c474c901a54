// A TCP server on 127.0.0.1 that hands each connection to a script which writes bytes
// as it likes: slowly, half an HTTP reply, no HTTP at all, a reset in the middle. It
// stands in for the store servers that the HTTP library of the scripted server is too
// well-behaved to imitate.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace varnok::test {

// One accepted connection, as the script sees it.
class RawServer;

class RawConnection {
 public:
  RawConnection(int fd, RawServer& server) : fd_(fd), server_(server) {}

  // Reads one HTTP request: the head up to the blank line and a body of its
  // Content-Length. Returns the whole request, or "" when the peer went away first.
  std::string readRequest();
  // Sends all of bytes; false when the peer is gone or the server is stopping.
  bool send(std::string_view bytes);
  // Sends bytes one at a time with a pause before each; false as for send().
  bool drip(std::string_view bytes, std::chrono::milliseconds pause);
  // Waits, waking early when the server stops; false when it stopped.
  bool pause(std::chrono::milliseconds time);
  // Waits until the peer closes the connection (or the time runs out, or the server
  // stops), reading nothing.
  void waitForClose(std::chrono::milliseconds limit);
  // Ends the connection with a TCP reset instead of an orderly close.
  void reset();

 private:
  int fd_;
  RawServer& server_;
  bool reset_ = false;
  friend class RawServer;
};

class RawServer {
 public:
  using Script = std::function<void(RawConnection&)>;

  // Listens on a port the system picks; each connection runs the script in turn, and
  // is closed when the script returns.
  explicit RawServer(Script script);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const noexcept { return port_; }
  std::string baseUrl() const;
  // Stops listening, so that connections to the port are refused, or listens again on
  // the same port.
  void setListening(bool listening);
  // The requests read by scripts so far, in order.
  std::vector<std::string> requests() const;

 private:
  void serve();

  Script script_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  friend class RawConnection;
};

// A port on 127.0.0.1 that accepts no connection in time: it listens, but its queue of
// pending connections is full, so a new connection attempt waits unanswered.
class UnansweredPort {
 public:
  UnansweredPort();
  ~UnansweredPort();
  UnansweredPort(const UnansweredPort&) = delete;
  UnansweredPort& operator=(const UnansweredPort&) = delete;
  int port() const noexcept { return port_; }

 private:
  int listenFd_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

// "HTTP/1.1 <status>" with Content-Type, Content-Length of body and Connection: close.
std::string httpReply(int status, std::string_view contentType, std::string_view body);

}  // namespace varnok::test

#include "raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace varnok::test {
namespace {

// Listens on 127.0.0.1:port (0 for a port the system picks) and sets port.
int listenOnLoopback(int backlog, int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    throw std::runtime_error("raw server: no socket");
  }
  const int reuse = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("raw server: cannot listen on 127.0.0.1");
  }
  port = ntohs(address.sin_port);
  return fd;
}

// The length in Content-Length of a request head, 0 when it has none.
std::size_t contentLength(std::string_view head) {
  std::string lower(head);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  const std::size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) {
    return 0;
  }
  return std::strtoul(lower.c_str() + at + 17, nullptr, 10);
}

}  // namespace

std::string RawConnection::readRequest() {
  std::string request;
  char buffer[4096];
  std::size_t headEnd = std::string::npos;
  while (!server_.stopping_) {
    if (headEnd != std::string::npos && request.size() >= headEnd + contentLength(request)) {
      std::lock_guard lock(server_.mutex_);
      server_.requests_.push_back(request);
      return request;
    }
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) {
      continue;
    }
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) {
      return {};
    }
    request.append(buffer, static_cast<std::size_t>(got));
    if (headEnd == std::string::npos) {
      const std::size_t blank = request.find("\r\n\r\n");
      if (blank != std::string::npos) {
        headEnd = blank + 4;
      }
    }
  }
  return {};
}

bool RawConnection::send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (server_.stopping_) {
      return false;
    }
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool RawConnection::drip(std::string_view bytes, std::chrono::milliseconds gap) {
  for (char byte : bytes) {
    if (!pause(gap) || !send(std::string_view(&byte, 1))) {
      return false;
    }
  }
  return true;
}

bool RawConnection::pause(std::chrono::milliseconds time) {
  const auto until = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < until) {
    if (server_.stopping_) {
      return false;
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        until - std::chrono::steady_clock::now(), std::chrono::milliseconds(10)));
  }
  return !server_.stopping_;
}

void RawConnection::waitForClose(std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!server_.stopping_ && std::chrono::steady_clock::now() < until) {
    pollfd waiting{fd_, POLLIN, 0};
    char byte;
    if (::poll(&waiting, 1, 20) > 0 && ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) {
      return;
    }
  }
}

void RawConnection::reset() {
  // A zero linger time makes close() send RST and drop what is unsent.
  linger abort{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  reset_ = true;
}

RawServer::RawServer(Script script) : script_(std::move(script)) {
  port_ = 0;
  listenFd_ = listenOnLoopback(16, port_);
  thread_ = std::thread([this] { serve(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  thread_.join();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
  }
}

void RawServer::setListening(bool listening) {
  std::lock_guard lock(mutex_);
  if (!listening && listenFd_ >= 0) {
    ::close(listenFd_);
    listenFd_ = -1;
  } else if (listening && listenFd_ < 0) {
    listenFd_ = listenOnLoopback(16, port_);
  }
}

std::string RawServer::baseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> RawServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void RawServer::serve() {
  while (!stopping_) {
    int listenFd;
    {
      std::lock_guard lock(mutex_);
      listenFd = listenFd_;
    }
    if (listenFd < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    pollfd waiting{listenFd, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) {
      continue;
    }
    std::unique_lock lock(mutex_);
    if (listenFd != listenFd_) {
      continue;
    }
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    lock.unlock();
    if (fd < 0) {
      continue;
    }
    RawConnection connection(fd, *this);
    script_(connection);
    if (!connection.reset_) {
      // An orderly end: no more bytes from us, then wait briefly for the peer to close,
      // so that what was sent is not lost to a reset.
      ::shutdown(fd, SHUT_WR);
      char sink[256];
      for (int i = 0; i < 40 && !stopping_; ++i) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, 50) > 0 && ::recv(fd, sink, sizeof sink, 0) <= 0) {
          break;
        }
      }
    }
    ::close(fd);
  }
}

UnansweredPort::UnansweredPort() {
  port_ = 0;
  listenFd_ = listenOnLoopback(0, port_);
  // Connections that are never accepted fill the queue; the kernel then drops the
  // next attempt's handshake and the client waits for an answer that never comes.
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port_));
  for (int i = 0; i < 4; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
      break;
    }
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fillers_.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

UnansweredPort::~UnansweredPort() {
  for (int fd : fillers_) {
    ::close(fd);
  }
  ::close(listenFd_);
}

std::string httpReply(int status, std::string_view contentType, std::string_view body) {
  std::string reply = "HTTP/1.1 " + std::to_string(status) + " Scripted\r\n";
  if (!contentType.empty()) {
    reply += "Content-Type: " + std::string(contentType) + "\r\n";
  }
  reply += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  reply += body;
  return reply;
}

}  // namespace varnok::test

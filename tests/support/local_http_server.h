// An HTTP/1.1 server on 127.0.0.1 for the web-service tests: answers each GET
// from a table keyed by path (without the query) and records the request
// targets. Unknown paths get 404.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace dp::test {

class LocalHttpServer {
 public:
  LocalHttpServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd_, reinterpret_cast<sockaddr*>(&a), len);
    listen(fd_, 8);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalHttpServer() {
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    thread_.join();
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

  void Reply(const std::string& path, int status, std::string body) {
    std::lock_guard lock(mutex_);
    replies_[path] = {status, std::move(body)};
  }
  std::vector<std::string> targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
  }
  void ClearTargets() {
    std::lock_guard lock(mutex_);
    targets_.clear();
  }

 private:
  void Serve() {
    for (int c; (c = accept(fd_, nullptr, nullptr)) >= 0; close(c)) {
      std::string req;
      char buf[4096];
      for (ssize_t n; req.find("\r\n\r\n") == std::string::npos && (n = read(c, buf, sizeof buf)) > 0;)
        req.append(buf, static_cast<std::size_t>(n));
      if (req.size() < 5) continue;
      const std::string target = req.substr(4, req.find(' ', 4) - 4);
      std::pair<int, std::string> reply{404, std::string()};
      {
        std::lock_guard lock(mutex_);
        targets_.push_back(target);
        if (auto it = replies_.find(target.substr(0, target.find('?'))); it != replies_.end())
          reply = it->second;
      }
      const std::string head = "HTTP/1.1 " + std::to_string(reply.first) +
                               " X\r\nContent-Length: " + std::to_string(reply.second.size()) +
                               "\r\nConnection: close\r\n\r\n";
      (void)!write(c, head.data(), head.size());
      (void)!write(c, reply.second.data(), reply.second.size());
    }
  }

  int fd_ = -1;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, std::pair<int, std::string>> replies_;
  std::vector<std::string> targets_;
  std::thread thread_;
};

}  // namespace dp::test

// WebSocketServer: a small server on 127.0.0.1 that sends text messages to every client that
// has finished its handshake, on a thread of its own (the frame loop only queues).
//
// Bounds: it listens on the loopback address only; at most kMaxClients at once (more are closed
// at once); a client sends nothing but its handshake and control frames — text and binary frames
// are read and dropped, a frame announcing more than kMaxClientPayload bytes or anything that is
// not WebSocket is garbage, and the client is closed; a client whose unsent data grows above
// kMaxBacklog (it does not read) is closed; a handshake not finished within kHandshakeMs is
// closed. Every drop is a line in the log.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"

namespace orin {

class WebSocketServer {
 public:
  static constexpr size_t kMaxClients = 16;
  static constexpr size_t kMaxClientPayload = 4096;
  static constexpr size_t kMaxBacklog = 4 << 20;
  static constexpr uint32_t kHandshakeMs = 5000;

  explicit WebSocketServer(Log& log);
  ~WebSocketServer();
  WebSocketServer(const WebSocketServer&) = delete;
  WebSocketServer& operator=(const WebSocketServer&) = delete;

  // Listens on 127.0.0.1:port (0: a free port, see Port) and starts the thread. Throws Error when
  // the port cannot be had.
  void Start(int port);
  int Port() const { return port_; }
  // Queues a text message for every open client; returns at once.
  void Broadcast(std::string utf8);
  // Clients with a finished handshake (tests).
  size_t OpenClients() const { return openClients_.load(); }

 private:
  struct Client;
  void Run();
  void Wake();
  void Drop(Client& c, const std::string& why);

  Log& log_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> openClients_{0};
  std::mutex mutex_;
  std::vector<std::string> queue_;
};

}  // namespace orin

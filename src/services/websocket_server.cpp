#include "services/websocket_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "core/error.h"
#include "services/websocket.h"

namespace orin {

namespace {

uint32_t NowMs() {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void NonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

struct WebSocketServer::Client {
  int Fd = -1;
  bool Open = false;
  bool Closing = false;  // send what is left, then close
  bool Dead = false;
  uint32_t Since = 0;
  std::string In;
  std::string Out;
};

WebSocketServer::WebSocketServer(Log& log) : log_(log) {}

WebSocketServer::~WebSocketServer() {
  stop_ = true;
  Wake();
  if (thread_.joinable()) thread_.join();
  for (int fd : {listen_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
}

void WebSocketServer::Start(int port) {
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_ < 0) throw Error("text feed: no socket: " + std::string(std::strerror(errno)));
  const int yes = 1;
  ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listen_, 8) != 0)
    throw Error("text feed: 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno));
  socklen_t len = sizeof addr;
  ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  NonBlocking(listen_);
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw Error("text feed: no pipe");
  thread_ = std::thread([this] { Run(); });
}

void WebSocketServer::Broadcast(std::string utf8) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(utf8));
  }
  Wake();
}

void WebSocketServer::Wake() {
  if (wake_[1] < 0) return;
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
}

void WebSocketServer::Drop(Client& c, const std::string& why) {
  if (c.Dead) return;
  c.Dead = true;
  log_.Info(LogChannel::kShell, "text feed: a WebSocket client is dropped: " + why);
}

void WebSocketServer::Run() {
  std::vector<std::unique_ptr<Client>> clients;
  std::vector<pollfd> fds;
  char buffer[16384];
  while (!stop_) {
    fds.clear();
    fds.push_back({wake_[0], POLLIN, 0});
    fds.push_back({listen_, POLLIN, 0});
    for (const auto& c : clients)
      fds.push_back({c->Fd, static_cast<short>(POLLIN | (c->Out.empty() ? 0 : POLLOUT)), 0});
    ::poll(fds.data(), fds.size(), 1000);
    if (stop_) break;
    if (fds[0].revents & POLLIN)
      while (::read(wake_[0], buffer, sizeof buffer) > 0) {
      }
    std::vector<std::string> messages;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages.swap(queue_);
    }
    if (fds[1].revents & POLLIN) {
      while (true) {
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) break;
        if (clients.size() >= kMaxClients) {
          ::close(fd);
          log_.Info(LogChannel::kShell, "text feed: a WebSocket client is refused: too many clients");
          continue;
        }
        auto c = std::make_unique<Client>();
        c->Fd = fd;
        c->Since = NowMs();
        clients.push_back(std::move(c));
      }
    }
    for (size_t i = 0; i < clients.size(); ++i) {
      Client& c = *clients[i];
      const short revents = i + 2 < fds.size() && fds[i + 2].fd == c.Fd ? fds[i + 2].revents : 0;
      if (revents & (POLLERR | POLLHUP | POLLNVAL) && !(revents & POLLIN)) Drop(c, "connection lost");
      if (!c.Dead && (revents & POLLIN)) {
        const ssize_t n = ::recv(c.Fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
          if (n == 0 || (errno != EAGAIN && errno != EINTR)) Drop(c, "connection closed");
        } else if (!c.Closing) {
          c.In.append(buffer, static_cast<size_t>(n));
        }
      }
      if (!c.Dead && !c.Open && !c.In.empty()) {
        const Handshake h = ParseHandshake(c.In);
        if (h.Result == Handshake::Status::kRefused) {
          Drop(c, h.Problem);
        } else if (h.Result == Handshake::Status::kAccepted) {
          c.Open = true;
          ++openClients_;
          c.Out += h.Response;
          c.In.erase(0, c.In.find("\r\n\r\n") + 4);
        }
      }
      if (!c.Dead && !c.Open && NowMs() - c.Since > kHandshakeMs) Drop(c, "no handshake");
      while (!c.Dead && c.Open && !c.Closing && !c.In.empty()) {
        ClientFrame frame;
        size_t used = 0;
        std::string problem;
        const FrameRead r = ReadClientFrame(c.In, kMaxClientPayload, frame, used, problem);
        if (r == FrameRead::kNeedMore) break;
        if (r == FrameRead::kRefused) {
          Drop(c, problem);
          break;
        }
        c.In.erase(0, used);
        if (frame.Opcode == WsOpcode::kPing) c.Out += ServerFrame(WsOpcode::kPong, frame.Payload);
        if (frame.Opcode == WsOpcode::kClose) {
          c.Out += ServerFrame(WsOpcode::kClose, frame.Payload.substr(0, 2));
          c.Closing = true;
        }
        // Text and binary frames are no commands here: they are read and forgotten.
      }
      if (!c.Dead && c.Open && !c.Closing)
        for (const std::string& m : messages) c.Out += ServerFrame(WsOpcode::kText, m);
      if (!c.Dead && c.Out.size() > kMaxBacklog) Drop(c, "it does not read what it is sent");
      if (!c.Dead && !c.Out.empty()) {
        const ssize_t n = ::send(c.Fd, c.Out.data(), c.Out.size(), MSG_NOSIGNAL);
        if (n > 0) c.Out.erase(0, static_cast<size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR) Drop(c, "connection lost");
      }
      if (!c.Dead && c.Closing && c.Out.empty()) c.Dead = true;
    }
    for (size_t i = 0; i < clients.size();) {
      if (!clients[i]->Dead) {
        ++i;
        continue;
      }
      if (clients[i]->Open) --openClients_;
      ::close(clients[i]->Fd);
      clients.erase(clients.begin() + static_cast<ptrdiff_t>(i));
    }
  }
  for (auto& c : clients) ::close(c->Fd);
  openClients_ = 0;
}

}  // namespace orin

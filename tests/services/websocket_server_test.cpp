#include "services/websocket_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "core/error.h"
#include "services/websocket.h"

namespace orin {
namespace {

class Socket {
 public:
  explicit Socket(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~Socket() { ::close(fd_); }
  bool Connected() const { return connected_; }
  void Send(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // What arrives within ms (until the peer closes); closed tells whether it did.
  std::string Receive(int ms, bool* closed = nullptr, size_t until = 0) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end && (until == 0 || got.size() < until)) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char buffer[65536];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        if (closed) *closed = true;
        return got;
      }
      got.append(buffer, static_cast<size_t>(n));
    }
    if (closed) *closed = false;
    return got;
  }
  std::string Handshake() {
    Send("GET / HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
         "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
    return Receive(2000, nullptr, 129);
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

bool WaitFor(const std::function<bool()>& ok) {
  for (int i = 0; i < 200 && !ok(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return ok();
}

TEST(WebSocketServer, OpenClientsGetEveryMessage) {
  Log log;
  WebSocketServer server(log);
  server.Start(0);
  ASSERT_GT(server.Port(), 0);
  Socket a(server.Port()), b(server.Port());
  ASSERT_TRUE(a.Connected());
  EXPECT_NE(a.Handshake().find("101 Switching Protocols"), std::string::npos);
  EXPECT_NE(b.Handshake().find("101 Switching Protocols"), std::string::npos);
  ASSERT_TRUE(WaitFor([&] { return server.OpenClients() == 2; }));
  server.Broadcast("吾輩は猫である");
  const std::string frame = ServerFrame(WsOpcode::kText, "吾輩は猫である");
  EXPECT_EQ(a.Receive(2000, nullptr, frame.size()), frame);
  EXPECT_EQ(b.Receive(2000, nullptr, frame.size()), frame);
}

TEST(WebSocketServer, GarbageAndHugeFramesDropTheClientAlone) {
  Log log;
  WebSocketServer server(log);
  server.Start(0);
  Socket good(server.Port()), garbage(server.Port()), huge(server.Port());
  good.Handshake();
  garbage.Send(std::string(10000, '\x16'));
  bool closed = false;
  garbage.Receive(2000, &closed);
  EXPECT_TRUE(closed);
  huge.Handshake();
  // 100 MB announced, masked: the header alone ends the client.
  huge.Send(std::string("\x82\xff\x00\x00\x00\x00\x06\x40\x00\x00\x01\x02\x03\x04", 14));
  huge.Receive(2000, &closed);
  EXPECT_TRUE(closed);
  server.Broadcast("still here");
  const std::string frame = ServerFrame(WsOpcode::kText, "still here");
  EXPECT_EQ(good.Receive(2000, nullptr, frame.size()), frame);
}

TEST(WebSocketServer, AClientThatDoesNotReadIsDropped) {
  Log log;
  WebSocketServer server(log);
  server.Start(0);
  Socket lazy(server.Port());
  lazy.Handshake();
  ASSERT_TRUE(WaitFor([&] { return server.OpenClients() == 1; }));
  const std::string page(64 * 1024, 'x');
  for (int i = 0; i < 400 && server.OpenClients() > 0; ++i) {
    server.Broadcast(page);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(WaitFor([&] { return server.OpenClients() == 0; }));
}

TEST(WebSocketServer, PortInUseIsAClearError) {
  Log log;
  WebSocketServer first(log);
  first.Start(0);
  WebSocketServer second(log);
  EXPECT_THROW(second.Start(first.Port()), Error);
}

}  // namespace
}  // namespace orin

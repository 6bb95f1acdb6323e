#include "services/websocket.h"

#include <gtest/gtest.h>

namespace orin {
namespace {

std::string Request(const std::string& headers) { return "GET /feed HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n"; }

constexpr const char* kGood =
    "Upgrade: websocket\r\nConnection: keep-alive, Upgrade\r\nSec-WebSocket-Version: 13\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";

// A masked client frame as a browser sends it.
std::string Masked(uint8_t first, const std::string& payload, uint64_t declared) {
  std::string f(1, static_cast<char>(first));
  if (declared < 126) {
    f.push_back(static_cast<char>(0x80 | declared));
  } else if (declared <= 0xFFFF) {
    f.push_back(static_cast<char>(0x80 | 126));
    f.push_back(static_cast<char>(declared >> 8));
    f.push_back(static_cast<char>(declared));
  } else {
    f.push_back(static_cast<char>(0x80 | 127));
    for (int i = 7; i >= 0; --i) f.push_back(static_cast<char>(declared >> (i * 8)));
  }
  const char mask[4] = {0x11, 0x22, 0x33, 0x44};
  f.append(mask, 4);
  for (size_t i = 0; i < payload.size(); ++i) f.push_back(static_cast<char>(payload[i] ^ mask[i % 4]));
  return f;
}

TEST(WebSocket, Sha1AndBase64KnownValues) {
  EXPECT_EQ(Base64(Sha1("abc")), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
  EXPECT_EQ(Base64(Sha1("")), "2jmj7l5rSw0yVb/vlWAYkK/YBwk=");
  EXPECT_EQ(Base64("f"), "Zg==");
  EXPECT_EQ(Base64("fo"), "Zm8=");
  // A message of exactly one block's padding boundary.
  EXPECT_EQ(Base64(Sha1(std::string(56, 'a'))).size(), 28u);
  EXPECT_EQ(WebSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(WebSocket, HandshakeAcceptsABrowserRequest) {
  const Handshake h = ParseHandshake(Request(kGood));
  ASSERT_EQ(h.Result, Handshake::Status::kAccepted) << h.Problem;
  EXPECT_NE(h.Response.find("101 Switching Protocols"), std::string::npos);
  EXPECT_NE(h.Response.find("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"), std::string::npos);
  // Header names are case-insensitive; the request may arrive in parts.
  std::string lower = Request(
      "upgrade: WebSocket\r\nconnection: upgrade\r\nsec-websocket-version: 13\r\n"
      "sec-websocket-key: dGhlIHNhbXBsZSBub25jZQ==\r\n");
  EXPECT_EQ(ParseHandshake(lower).Result, Handshake::Status::kAccepted);
  EXPECT_EQ(ParseHandshake(lower.substr(0, lower.size() - 2)).Result, Handshake::Status::kIncomplete);
}

TEST(WebSocket, HandshakeRefusesWhatIsNotAWebSocketUpgrade) {
  const struct {
    std::string request;
    const char* problem;
  } cases[] = {
      {"POST / HTTP/1.1\r\n\r\n", "not an HTTP/1.1 GET request"},
      {"\x16\x03\x01 garbage\r\n\r\n", "not an HTTP/1.1 GET request"},
      {Request("Upgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"), "not a WebSocket upgrade"},
      {Request("Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 8\r\n"
               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"),
       "WebSocket version other than 13"},
      {Request("Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
               "Sec-WebSocket-Key: short\r\n"),
       "bad Sec-WebSocket-Key"},
      {Request("no colon here\r\n"), "malformed header line"},
      {std::string(kMaxHandshakeRequest, 'G'), "request too large"},
  };
  for (const auto& c : cases) {
    const Handshake h = ParseHandshake(c.request);
    EXPECT_EQ(h.Result, Handshake::Status::kRefused) << c.problem;
    EXPECT_EQ(h.Problem, c.problem);
  }
}

TEST(WebSocket, ClientFramesAreUnmaskedAndSplitFramesWait) {
  const std::string two = Masked(0x81, "hello", 5) + Masked(0x89, "p", 1);
  ClientFrame f;
  size_t used = 0;
  std::string problem;
  ASSERT_EQ(ReadClientFrame(two, 4096, f, used, problem), FrameRead::kFrame);
  EXPECT_EQ(f.Opcode, WsOpcode::kText);
  EXPECT_EQ(f.Payload, "hello");
  ASSERT_EQ(ReadClientFrame(std::string_view(two).substr(used), 4096, f, used, problem), FrameRead::kFrame);
  EXPECT_EQ(f.Opcode, WsOpcode::kPing);
  EXPECT_EQ(f.Payload, "p");
  const std::string medium = Masked(0x82, std::string(300, 'x'), 300);
  for (size_t cut : {size_t{1}, size_t{3}, size_t{7}, medium.size() - 1})
    EXPECT_EQ(ReadClientFrame(std::string_view(medium).substr(0, cut), 4096, f, used, problem), FrameRead::kNeedMore)
        << cut;
  EXPECT_EQ(ReadClientFrame(medium, 4096, f, used, problem), FrameRead::kFrame);
  EXPECT_EQ(used, medium.size());
}

TEST(WebSocket, GarbageAndHugeFramesAreRefusedFromTheHeader) {
  const struct {
    std::string frame;
    const char* problem;
  } cases[] = {
      // 100 MB announced: refused with only the header in hand.
      {Masked(0x82, "", 100u << 20).substr(0, 14), "frame too large"},
      {Masked(0x81, "", 5000).substr(0, 8), "frame too large"},
      {std::string("\x81\x05hello", 7), "unmasked client frame"},
      {Masked(0xC1, "x", 1), "reserved bits set"},
      {Masked(0x83, "x", 1), "reserved opcode"},
      {Masked(0x89, std::string(126, 'p'), 126), "bad control frame"},
      {Masked(0x08, "", 0), "bad control frame"},
  };
  for (const auto& c : cases) {
    ClientFrame f;
    size_t used = 0;
    std::string problem;
    EXPECT_EQ(ReadClientFrame(c.frame, 4096, f, used, problem), FrameRead::kRefused) << c.problem;
    EXPECT_EQ(problem, c.problem);
  }
}

TEST(WebSocket, ServerFramesUseTheShortestLength) {
  EXPECT_EQ(ServerFrame(WsOpcode::kText, "hi"), std::string("\x81\x02hi", 4));
  const std::string mid = ServerFrame(WsOpcode::kText, std::string(200, 'a'));
  EXPECT_EQ(mid.substr(0, 4), std::string("\x81\x7e\x00\xc8", 4));
  const std::string big = ServerFrame(WsOpcode::kText, std::string(70000, 'a'));
  EXPECT_EQ(big.substr(0, 10), std::string("\x81\x7f\x00\x00\x00\x00\x00\x01\x11\x70", 10));
  EXPECT_EQ(big.size(), 70010u);
}

}  // namespace
}  // namespace orin

// The bytes of a WebSocket server (RFC 6455), without sockets: the opening handshake a client
// sends, the frames it sends afterwards, and the frames the server sends.
//
// The server of the text feed accepts no commands, so what a client may send is small: the
// handshake (at most kMaxRequest bytes) and control frames (close, ping). ReadClientFrame refuses,
// from the frame header alone, a frame whose declared payload is above the limit it is given, so a
// client announcing 100 MB is dropped before a byte of it is buffered. Client frames must be
// masked; anything else is garbage and refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orin {

struct Handshake {
  enum class Status { kIncomplete, kAccepted, kRefused };
  Status Result = Status::kIncomplete;
  std::string Response;  // kAccepted: the server's answer ("101 Switching Protocols")
  std::string Problem;   // kRefused: why, in a few words
};

// A request larger than this without its blank line is refused.
constexpr size_t kMaxHandshakeRequest = 8192;

// Reads the client's request so far. kIncomplete until the blank line after the headers arrives.
Handshake ParseHandshake(std::string_view request);

// The Sec-WebSocket-Accept value of a Sec-WebSocket-Key.
std::string WebSocketAccept(std::string_view key);

// SHA-1 of bytes (20 bytes) and base64, for the accept key.
std::string Sha1(std::string_view bytes);
std::string Base64(std::string_view bytes);

enum class WsOpcode : uint8_t { kContinuation = 0, kText = 1, kBinary = 2, kClose = 8, kPing = 9, kPong = 10 };

struct ClientFrame {
  WsOpcode Opcode = WsOpcode::kText;
  bool Final = true;
  std::string Payload;  // unmasked
};

enum class FrameRead { kNeedMore, kFrame, kRefused };

// One frame from the front of buffer: kFrame with frame filled and consumed set to its length;
// kNeedMore when the buffer holds only part of it; kRefused (problem says why) for an unmasked
// frame, a reserved bit or opcode, a control frame over 125 bytes or split, or a payload above
// maxPayload.
FrameRead ReadClientFrame(std::string_view buffer, size_t maxPayload, ClientFrame& frame, size_t& consumed,
                          std::string& problem);

// A frame the server sends (never masked, never split).
std::string ServerFrame(WsOpcode opcode, std::string_view payload);

}  // namespace orin

#include "services/websocket.h"

#include <array>
#include <cctype>

namespace orin {

namespace {

constexpr std::string_view kGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

uint32_t Rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Whether a comma-separated header value lists token.
bool ListsToken(std::string_view value, std::string_view token) {
  while (!value.empty()) {
    const size_t comma = value.find(',');
    if (SameAscii(Trim(value.substr(0, comma)), token)) return true;
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return false;
}

Handshake Refuse(std::string problem) {
  Handshake h;
  h.Result = Handshake::Status::kRefused;
  h.Problem = std::move(problem);
  return h;
}

}  // namespace

std::string Sha1(std::string_view bytes) {
  uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::string m(bytes);
  const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  m.push_back(static_cast<char>(0x80));
  while (m.size() % 64 != 56) m.push_back('\0');
  for (int i = 7; i >= 0; --i) m.push_back(static_cast<char>(bits >> (i * 8)));
  for (size_t block = 0; block < m.size(); block += 64) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
      const auto* p = reinterpret_cast<const unsigned char*>(m.data() + block + i * 4);
      w[i] = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    }
    for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      uint32_t f, k;
      if (i < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999;
      } else if (i < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1;
      } else if (i < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDC;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6;
      }
      const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
      e = d;
      d = c;
      c = Rotl(b, 30);
      b = a;
      a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
  }
  std::string out;
  for (uint32_t v : h)
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>(v >> (i * 8)));
  return out;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = uint32_t{static_cast<unsigned char>(bytes[i])} << 16 |
                       uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8 | static_cast<unsigned char>(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out.push_back(kDigits[v >> s & 63]);
  }
  if (const size_t rest = bytes.size() - i; rest > 0) {
    uint32_t v = uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
    if (rest == 2) v |= uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
    out.push_back(kDigits[v >> 18 & 63]);
    out.push_back(kDigits[v >> 12 & 63]);
    out.push_back(rest == 2 ? kDigits[v >> 6 & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::string WebSocketAccept(std::string_view key) { return Base64(Sha1(std::string(key) + std::string(kGuid))); }

Handshake ParseHandshake(std::string_view request) {
  const size_t end = request.find("\r\n\r\n");
  if (end == std::string_view::npos) {
    if (request.size() >= kMaxHandshakeRequest) return Refuse("request too large");
    return {};
  }
  if (end + 4 > kMaxHandshakeRequest) return Refuse("request too large");
  std::string_view head = request.substr(0, end + 2);
  size_t eol = head.find("\r\n");
  const std::string_view line = head.substr(0, eol);
  head.remove_prefix(eol + 2);
  if (line.substr(0, 4) != "GET " || line.size() < 14 || line.substr(line.size() - 9) != " HTTP/1.1")
    return Refuse("not an HTTP/1.1 GET request");
  bool upgrade = false, connection = false, version = false;
  std::string key;
  while (!head.empty()) {
    eol = head.find("\r\n");
    const std::string_view header = head.substr(0, eol);
    head.remove_prefix(eol + 2);
    const size_t colon = header.find(':');
    if (colon == std::string_view::npos || colon == 0) return Refuse("malformed header line");
    const std::string_view name = header.substr(0, colon), value = Trim(header.substr(colon + 1));
    if (SameAscii(name, "Upgrade")) upgrade = ListsToken(value, "websocket");
    else if (SameAscii(name, "Connection")) connection = ListsToken(value, "Upgrade");
    else if (SameAscii(name, "Sec-WebSocket-Version")) version = value == "13";
    else if (SameAscii(name, "Sec-WebSocket-Key")) key = std::string(value);
  }
  if (!upgrade || !connection) return Refuse("not a WebSocket upgrade");
  if (!version) return Refuse("WebSocket version other than 13");
  // The key is 16 random bytes in base64.
  if (key.size() != 24 || key.substr(22) != "==") return Refuse("bad Sec-WebSocket-Key");
  Handshake h;
  h.Result = Handshake::Status::kAccepted;
  h.Response = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
               "Sec-WebSocket-Accept: " +
               WebSocketAccept(key) + "\r\n\r\n";
  return h;
}

FrameRead ReadClientFrame(std::string_view buffer, size_t maxPayload, ClientFrame& frame, size_t& consumed,
                          std::string& problem) {
  if (buffer.size() < 2) return FrameRead::kNeedMore;
  const auto* b = reinterpret_cast<const unsigned char*>(buffer.data());
  const bool final = (b[0] & 0x80) != 0;
  const uint8_t opcode = b[0] & 0x0F;
  auto refuse = [&](const char* why) {
    problem = why;
    return FrameRead::kRefused;
  };
  if ((b[0] & 0x70) != 0) return refuse("reserved bits set");
  if (!(opcode <= 2 || (opcode >= 8 && opcode <= 10))) return refuse("reserved opcode");
  if ((b[1] & 0x80) == 0) return refuse("unmasked client frame");
  uint64_t length = b[1] & 0x7F;
  size_t header = 2;
  if (length == 126) {
    if (buffer.size() < 4) return FrameRead::kNeedMore;
    length = uint64_t{b[2]} << 8 | b[3];
    header = 4;
  } else if (length == 127) {
    if (buffer.size() < 10) return FrameRead::kNeedMore;
    length = 0;
    for (int i = 0; i < 8; ++i) length = length << 8 | b[2 + i];
    header = 10;
  }
  if (opcode >= 8 && (length > 125 || !final)) return refuse("bad control frame");
  if (length > maxPayload) return refuse("frame too large");
  header += 4;
  if (buffer.size() < header || buffer.size() - header < length) return FrameRead::kNeedMore;
  const unsigned char* mask = b + header - 4;
  frame.Opcode = static_cast<WsOpcode>(opcode);
  frame.Final = final;
  frame.Payload.assign(buffer.data() + header, static_cast<size_t>(length));
  for (size_t i = 0; i < frame.Payload.size(); ++i) frame.Payload[i] = static_cast<char>(frame.Payload[i] ^ mask[i % 4]);
  consumed = header + static_cast<size_t>(length);
  return FrameRead::kFrame;
}

std::string ServerFrame(WsOpcode opcode, std::string_view payload) {
  std::string out;
  out.push_back(static_cast<char>(0x80 | static_cast<uint8_t>(opcode)));
  const uint64_t n = payload.size();
  if (n < 126) {
    out.push_back(static_cast<char>(n));
  } else if (n <= 0xFFFF) {
    out.push_back(126);
    out.push_back(static_cast<char>(n >> 8));
    out.push_back(static_cast<char>(n));
  } else {
    out.push_back(127);
    for (int i = 7; i >= 0; --i) out.push_back(static_cast<char>(n >> (i * 8)));
  }
  out.append(payload);
  return out;
}

}  // namespace orin

// What a WebSocket client of the text feed sends, from untrusted bytes: the handshake, then
// frames one after another, each read or refused without reading past the buffer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/websocket.h"
#include "services/websocket_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const orin::Handshake h = orin::ParseHandshake(bytes);
  if (h.Result == orin::Handshake::Status::kAccepted) bytes.remove_prefix(bytes.find("\r\n\r\n") + 4);
  while (!bytes.empty()) {
    orin::ClientFrame frame;
    size_t used = 0;
    std::string problem;
    if (orin::ReadClientFrame(bytes, orin::WebSocketServer::kMaxClientPayload, frame, used, problem) !=
        orin::FrameRead::kFrame)
      break;
    if (used == 0 || used > bytes.size()) __builtin_trap();
    bytes.remove_prefix(used);
  }
  return 0;
}

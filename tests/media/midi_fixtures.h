// Standard MIDI files written for tests: tracks built event by event, chunks put together with
// whatever header, lengths and extra chunks a test needs to show a fault.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orin::test {

inline void AppendVlq(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[5];
  int n = 0;
  do {
    bytes[n++] = static_cast<uint8_t>(v & 0x7F);
    v >>= 7;
  } while (v);
  while (n > 1) out.push_back(static_cast<uint8_t>(bytes[--n] | 0x80));
  out.push_back(bytes[0]);
}

inline void AppendBe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One track's events (without its chunk header).
struct SmfTrack {
  std::vector<uint8_t> data;

  // A delta time and raw bytes (a status byte may be left out for running status).
  SmfTrack& Raw(uint32_t delta, std::initializer_list<uint8_t> bytes) {
    AppendVlq(data, delta);
    data.insert(data.end(), bytes);
    return *this;
  }
  SmfTrack& NoteOn(uint32_t delta, uint8_t channel, uint8_t key, uint8_t velocity) {
    return Raw(delta, {static_cast<uint8_t>(0x90 | channel), key, velocity});
  }
  SmfTrack& NoteOff(uint32_t delta, uint8_t channel, uint8_t key) {
    return Raw(delta, {static_cast<uint8_t>(0x80 | channel), key, 0x40});
  }
  SmfTrack& Control(uint32_t delta, uint8_t channel, uint8_t controller, uint8_t value) {
    return Raw(delta, {static_cast<uint8_t>(0xB0 | channel), controller, value});
  }
  SmfTrack& Program(uint32_t delta, uint8_t channel, uint8_t program) {
    return Raw(delta, {static_cast<uint8_t>(0xC0 | channel), program});
  }
  SmfTrack& Meta(uint32_t delta, uint8_t type, std::initializer_list<uint8_t> payload) {
    AppendVlq(data, delta);
    data.push_back(0xFF);
    data.push_back(type);
    AppendVlq(data, static_cast<uint32_t>(payload.size()));
    data.insert(data.end(), payload);
    return *this;
  }
  SmfTrack& Tempo(uint32_t delta, uint32_t microsPerQuarter) {
    return Meta(delta, 0x51, {static_cast<uint8_t>(microsPerQuarter >> 16), static_cast<uint8_t>(microsPerQuarter >> 8),
                              static_cast<uint8_t>(microsPerQuarter)});
  }
  // status F0 or F7, then the length and the payload.
  SmfTrack& SysEx(uint32_t delta, uint8_t status, std::initializer_list<uint8_t> payload) {
    AppendVlq(data, delta);
    data.push_back(status);
    AppendVlq(data, static_cast<uint32_t>(payload.size()));
    data.insert(data.end(), payload);
    return *this;
  }
  SmfTrack& End(uint32_t delta = 0) { return Meta(delta, 0x2F, {}); }
};

inline std::vector<uint8_t> SmfChunk(const char* id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(id, id + 4);
  AppendBe(out, static_cast<uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline std::vector<uint8_t> SmfHeader(uint16_t format, uint16_t tracks, uint16_t division) {
  std::vector<uint8_t> body;
  AppendBe(body, format, 2);
  AppendBe(body, tracks, 2);
  AppendBe(body, division, 2);
  return SmfChunk("MThd", body);
}

// A whole file: header and one MTrk chunk per track.
inline std::vector<uint8_t> Smf(uint16_t format, uint16_t division, const std::vector<SmfTrack>& tracks) {
  std::vector<uint8_t> out = SmfHeader(format, static_cast<uint16_t>(tracks.size()), division);
  for (const SmfTrack& t : tracks) {
    std::vector<uint8_t> chunk = SmfChunk("MTrk", t.data);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline std::string AsString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace orin::test

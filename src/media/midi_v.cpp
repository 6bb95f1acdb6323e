#include "media/midi_v.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orin {

namespace {

constexpr uint8_t kGsReset[11] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// One track's bytes; every read says whether it fitted, so a cut track ends where it was cut.
class TrackCursor {
 public:
  TrackCursor(const uint8_t* begin, const uint8_t* end) : p_(begin), end_(end) {}
  bool AtEnd() const { return p_ >= end_; }
  size_t Left() const { return static_cast<size_t>(end_ - p_); }
  bool Byte(uint8_t& out) {
    if (p_ >= end_) return false;
    out = *p_++;
    return true;
  }
  void Unread() { --p_; }
  bool Vlq(uint32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(b)) return false;
      out = out << 7 | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;  // a fifth byte would be needed: not a quantity a file can hold
  }
  bool Append(std::vector<uint8_t>& to, uint32_t n) {
    if (n > Left()) return false;
    to.insert(to.end(), p_, p_ + n);
    p_ += n;
    return true;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

int DataBytesOf(uint8_t status) {
  switch (status & 0xF0) {
    case 0x80: case 0x90: case 0xA0: case 0xB0: case 0xE0: return 2;
    case 0xC0: case 0xD0: return 1;
    default: return 0;
  }
}

}  // namespace

uint8_t TMidiV::KindOf(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return kMidiOther;
  uint8_t status = bytes[0];
  if (status < 0x80) return kMidiOther;
  switch (status & 0xF0) {
    case 0x80: return kMidiNoteOff;
    case 0x90: return bytes.size() >= 3 && bytes[2] > 0 ? kMidiNoteOn : kMidiNoteOff;
    case 0xA0: return kMidiKeyPressure;
    case 0xB0: return kMidiControl;
    case 0xC0: return kMidiProgram;
    case 0xD0: return kMidiChannelPressure;
    case 0xE0: return kMidiPitchBend;
    default: break;
  }
  if (status == 0xF0)
    return bytes.size() == sizeof kGsReset && std::equal(bytes.begin(), bytes.end(), kGsReset) ? kMidiGsReset : kMidiOther;
  if (status == 0xFF && bytes.size() >= 2) {
    uint8_t type = bytes[1];
    if (type <= 0x07) return static_cast<uint8_t>(kMidiSequenceNumber + type);
    switch (type) {
      case 0x51: return kMidiTempo;
      case 0x2F: return kMidiEndOfTrack;
      case 0x52: return kMidiMeta52;
      case 0x58: return kMidiTimeSignature;
      case 0x59: return kMidiKeySignature;
      default: break;
    }
  }
  return kMidiOther;
}

void TMidiV::Parse(std::span<const uint8_t> data) {
  events_.clear();
  format_ = 0;
  division_ = 0;
  const uint8_t* file = data.data();
  const size_t size = data.size();
  if (size < 14 || Be32(file) != 0x4D546864) return;  // "MThd"
  uint32_t headerLength = Be32(file + 4);
  format_ = Be16(file + 8);
  uint16_t trackCount = Be16(file + 10);
  division_ = Be16(file + 12);
  if (division_ == 0) return;  // no time base: nothing could be timed

  uint64_t pos = 8 + std::max<uint64_t>(headerLength, 6);
  uint32_t sequence = 0;
  uint16_t track = 0;
  while (track < trackCount && pos + 8 <= size) {
    const uint8_t* chunk = file + pos;
    uint64_t length = Be32(chunk + 4);
    uint64_t next = pos + 8 + length;
    if (Be32(chunk) != 0x4D54726B) {  // not "MTrk": a chunk this reader does not know
      pos = next;
      continue;
    }
    const uint8_t* end = file + std::min<uint64_t>(next, size);
    TrackCursor in(chunk + 8, end);
    uint32_t tick = 0;
    uint8_t runningStatus = 0;
    while (length > 0 && !in.AtEnd()) {
      TMidiMsgEvent e;
      uint8_t status;
      if (!in.Vlq(e.Delta) || !in.Byte(status)) break;
      if (status < 0x80 && runningStatus != 0) {
        status = runningStatus;
        in.Unread();
      }
      e.Bytes.push_back(status);
      bool ok = true;
      if (status == 0xFF) {
        uint8_t type;
        uint32_t n;
        ok = in.Byte(type) && in.Vlq(n);
        if (ok) {
          e.Bytes.push_back(type);
          ok = in.Append(e.Bytes, n);
        }
        e.MessageClass = MidiMessageClass::kMeta;
      } else if (status == 0xF0 || status == 0xF7) {
        uint32_t n;
        ok = in.Vlq(n) && in.Append(e.Bytes, n);
        e.MessageClass = MidiMessageClass::kSysEx;
      } else if (status >= 0x80) {
        if (status < 0xF0) runningStatus = status;
        ok = in.Append(e.Bytes, static_cast<uint32_t>(DataBytesOf(status)));
      }
      if (!ok) break;
      tick += e.Delta;
      e.Tick = tick;
      e.SequenceNumber = sequence++;
      e.Track = track;
      e.Kind = KindOf(e.Bytes);
      bool endOfTrack = e.Kind == kMidiEndOfTrack;
      events_.push_back(std::move(e));
      if (endOfTrack) break;
    }
    ++track;
    if (next > size) break;  // the file was cut inside this track: nothing follows
    pos = next;
  }

  std::stable_sort(events_.begin(), events_.end(), [](const TMidiMsgEvent& a, const TMidiMsgEvent& b) {
    return a.Tick != b.Tick ? a.Tick < b.Tick : a.SequenceNumber < b.SequenceNumber;
  });

  uint32_t tempo = 500000;
  auto msPerTickOf = [this](uint32_t t) {
    return static_cast<float>(1.0L / division_ * t / 1000.0L);
  };
  float msPerTick = msPerTickOf(tempo);
  uint32_t previousTick = 0;
  int64_t time = 0;
  for (TMidiMsgEvent& e : events_) {
    long double interval = static_cast<long double>(msPerTick) * (e.Tick - previousTick);
    time += static_cast<int64_t>(std::nearbyintl(interval));
    time = std::min<int64_t>(time, INT32_MAX);
    e.Time = static_cast<int32_t>(time);
    previousTick = e.Tick;
    if (e.Kind == kMidiTempo && e.Bytes.size() >= 5) {
      tempo = static_cast<uint32_t>(e.Bytes[2]) << 16 | static_cast<uint32_t>(e.Bytes[3]) << 8 | e.Bytes[4];
      msPerTick = msPerTickOf(tempo);
    }
  }
}

std::string DumpMidiEvents(const TMidiV& midi) {
  const auto& events = midi.Events();
  std::string out = "events " + std::to_string(events.size()) + " length " + std::to_string(midi.TotalLength()) + "\n";
  char hex[4];
  for (const TMidiMsgEvent& e : events) {
    out += std::to_string(e.Time);
    out += ' ';
    out += std::to_string(e.Kind);
    out += ' ';
    out += std::to_string(e.Track);
    for (uint8_t b : e.Bytes) {
      std::snprintf(hex, sizeof hex, " %02x", b);
      out += hex;
    }
    out += '\n';
  }
  return out;
}

}  // namespace orin

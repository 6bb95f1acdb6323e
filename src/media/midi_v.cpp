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
  bool Append(MidiBytes& to, uint32_t n) {
    if (n > Left()) return false;
    to.append(p_, n);
    p_ += n;
    return true;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// round(ms per tick × ticks), ties to even, of the exact product. Below 2^29 ticks the product of a
// float and the count is exact in a double, and adding and taking away 2^52 rounds it in the
// default rounding mode, much faster than the extended-precision library call.
int64_t RoundedInterval(float msPerTick, uint32_t ticks) {
  if (ticks == 0) return 0;
  if (ticks < (1u << 29)) {
    double x = static_cast<double>(msPerTick) * ticks;
    if (x < 0x1p51) return static_cast<int64_t>((x + 0x1p52) - 0x1p52);
  }
  return static_cast<int64_t>(std::nearbyintl(static_cast<long double>(msPerTick) * ticks));
}

int DataBytesOf(uint8_t status) {
  switch (status & 0xF0) {
    case 0x80: case 0x90: case 0xA0: case 0xB0: case 0xE0: return 2;
    case 0xC0: case 0xD0: return 1;
    default: return 0;
  }
}

}  // namespace

void MidiBytes::append(const uint8_t* p, size_t n) {
  if (n == 0) return;
  if (size_ + n <= kInline) {
    std::copy(p, p + n, inline_ + size_);
  } else {
    auto grown = std::make_unique<uint8_t[]>(size_ + n);
    std::copy(data(), data() + size_, grown.get());
    std::copy(p, p + n, grown.get() + size_);
    heap_ = std::move(grown);
  }
  size_ += static_cast<uint32_t>(n);
}

uint8_t TMidiV::KindOf(std::span<const uint8_t> bytes) {
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
  std::vector<size_t> runs;  // where each track's events begin: each run is in tick order already
  while (track < trackCount && pos + 8 <= size) {
    const uint8_t* chunk = file + pos;
    uint64_t length = Be32(chunk + 4);
    uint64_t next = pos + 8 + length;
    if (Be32(chunk) != 0x4D54726B) {  // not "MTrk": a chunk this reader does not know
      pos = next;
      continue;
    }
    const uint8_t* end = file + std::min<uint64_t>(next, size);
    runs.push_back(events_.size());
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
      // Saturating: a track stays in tick order even when absurd deltas add up past 32 bits.
      tick = e.Delta > UINT32_MAX - tick ? UINT32_MAX : tick + e.Delta;
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

  // Order by tick, ties by sequence number: the tracks are merged pairwise, each merge keeping the
  // left (earlier read) run first on equal ticks.
  runs.push_back(events_.size());
  auto byTick = [](const TMidiMsgEvent& a, const TMidiMsgEvent& b) { return a.Tick < b.Tick; };
  while (runs.size() > 2) {  // more than one run
    std::vector<size_t> merged;
    size_t count = runs.size() - 1;
    for (size_t i = 0; i < count; i += 2) {
      merged.push_back(runs[i]);
      if (i + 1 < count) {
        auto at = [this](size_t k) { return events_.begin() + static_cast<std::ptrdiff_t>(k); };
        std::inplace_merge(at(runs[i]), at(runs[i + 1]), at(runs[i + 2]), byTick);
      }
    }
    merged.push_back(events_.size());
    runs = std::move(merged);
  }

  uint32_t tempo = 500000;
  auto msPerTickOf = [this](uint32_t t) {
    return static_cast<float>(1.0L / division_ * t / 1000.0L);
  };
  float msPerTick = msPerTickOf(tempo);
  uint32_t previousTick = 0;
  int64_t time = 0;
  for (TMidiMsgEvent& e : events_) {
    time += RoundedInterval(msPerTick, e.Tick - previousTick);
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

// TMidiV: a standard MIDI file read into one event list sorted by time, with millisecond times.
//
// Accepts formats 0, 1 and 2 (all are read the same way: every track into one list) with a
// division in ticks per quarter note. The reader never throws: a file that does not begin with
// "MThd", or a header that is cut short, or a division of 0, gives an empty list; damage inside a
// track ends that track with the events read so far (a cut event is dropped), and a track whose
// stated length runs past the file is read as far as the file goes and ends the load.
//
// Chunks are walked by their stated lengths: an unknown chunk is skipped, bytes after a track's
// end-of-track event are skipped, and a header longer than 6 bytes is skipped, so every track is
// found where its chunk says. The track index of an event counts the "MTrk" chunks.
//
// Running status repeats the last channel status; a data byte in the status position with no
// channel status before it becomes a one-byte event of kind 0. Variable-length quantities take
// at most 4 bytes; a longer one, or a length that runs past the track, ends the track.
//
// Times: a tempo of 500000 µs per quarter note until the first tempo event; each interval
// between consecutive events is rounded on its own (to nearest, ties to even) from the
// single-precision milliseconds per tick, so the times match the player this one replaces.
// A division with the top bit set (SMPTE timing) is taken as a plain tick count, as it always was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orin {

// The kinds of message, as the sequencer and `orintool midi dump` number them.
enum MidiKind : uint8_t {
  kMidiOther = 0,
  kMidiNoteOn = 1,
  kMidiNoteOff = 2,
  kMidiKeyPressure = 3,
  kMidiControl = 4,
  kMidiProgram = 5,
  kMidiChannelPressure = 6,
  kMidiPitchBend = 7,
  kMidiGsReset = 8,
  kMidiTempo = 9,
  kMidiSequenceNumber = 10,  // 10…17: meta 00…07
  kMidiEndOfTrack = 18,
  kMidiMeta52 = 19,
  kMidiTimeSignature = 20,
  kMidiKeySignature = 21,
};

// The bytes of one message: short messages (nearly all of a file) stay inside the event, so reading
// 100,000 events does not make 100,000 allocations; longer ones (SysEx, meta) get a buffer of their own.
class MidiBytes {
 public:
  MidiBytes() = default;
  MidiBytes(MidiBytes&&) noexcept = default;
  MidiBytes& operator=(MidiBytes&&) noexcept = default;

  const uint8_t* data() const { return heap_ ? heap_.get() : inline_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  uint8_t operator[](size_t i) const { return data()[i]; }
  const uint8_t* begin() const { return data(); }
  const uint8_t* end() const { return data() + size_; }
  operator std::span<const uint8_t>() const { return {data(), size_}; }

  void push_back(uint8_t b) { append(&b, 1); }
  void append(const uint8_t* p, size_t n);

 private:
  static constexpr size_t kInline = 8;
  uint32_t size_ = 0;
  uint8_t inline_[kInline] = {};
  std::unique_ptr<uint8_t[]> heap_;
};

enum class MidiMessageClass : uint8_t { kShort = 0, kSysEx = 1, kMeta = 2 };

struct TMidiMsgEvent {
  uint32_t Tick = 0;
  uint32_t Delta = 0;
  int32_t Time = 0;
  uint32_t SequenceNumber = 0;
  uint16_t Track = 0;
  MidiMessageClass MessageClass = MidiMessageClass::kShort;
  uint8_t Kind = kMidiOther;
  // Status byte and data; meta events: FF, type, payload; SysEx: F0 or F7 and the payload.
  MidiBytes Bytes;
};

class TMidiV {
 public:
  // Replaces the list with the file's events.
  void Parse(std::span<const uint8_t> data);

  const std::vector<TMidiMsgEvent>& Events() const { return events_; }
  // The time of the last event in milliseconds (0 for an empty list).
  int32_t TotalLength() const { return events_.empty() ? 0 : events_.back().Time; }
  uint16_t Format() const { return format_; }
  uint16_t Division() const { return division_; }

  static uint8_t KindOf(std::span<const uint8_t> bytes);

 private:
  std::vector<TMidiMsgEvent> events_;
  uint16_t format_ = 0;
  uint16_t division_ = 0;
};

// The file's events as `orintool midi dump` prints them: "events N length MS", then one line per
// event, "TIME KIND TRACK BYTES" with the bytes in lower-case hex.
std::string DumpMidiEvents(const TMidiV& midi);

}  // namespace orin

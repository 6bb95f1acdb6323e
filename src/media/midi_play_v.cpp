#include "media/midi_play_v.h"

#include <algorithm>
#include <chrono>

namespace orin {

namespace {

uint32_t MonotonicMs() {
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

constexpr auto kStepPeriod = std::chrono::milliseconds(10);

}  // namespace

TMidiPlayV::TMidiPlayV(bool threaded, Clock clock) : clock_(clock ? std::move(clock) : Clock(MonotonicMs)), threaded_(threaded) {
  for (auto& channel : scale_) channel.fill(100);
  for (auto& channel : lastValue_) channel[7] = 127;
  if (threaded_) timer_ = std::thread([this] { TimerLoop(); });
}

TMidiPlayV::~TMidiPlayV() {
  {
    std::lock_guard lock(lock_);
    terminating_ = true;
    enabled_ = false;
  }
  wake_.notify_all();
  if (timer_.joinable()) timer_.join();
  std::unique_ptr<MidiOut> device = Close();
}

void TMidiPlayV::TimerLoop() {
  std::unique_lock lock(lock_);
  // Steps keep to a 10 ms grid, so the time a step takes and the wake-up delay do not add up into
  // longer periods (later events); after a stall the grid starts again instead of catching up.
  auto deadline = std::chrono::steady_clock::now() + kStepPeriod;
  while (!terminating_) {
    wake_.wait_until(lock, deadline);
    if (terminating_) break;
    auto now = std::chrono::steady_clock::now();
    if (now < deadline) continue;
    deadline += kStepPeriod;
    if (deadline <= now) deadline = now + kStepPeriod;
    if (!enabled_) continue;
    lock.unlock();
    Step(clock_());
    lock.lock();
  }
}

void TMidiPlayV::Load(std::span<const uint8_t> data) {
  std::lock_guard lock(lock_);
  StopLocked();
  midi_.Parse(data);
  for (auto& channel : lastValue_) channel[7] = 127;
  next_ = 0;
  position_ = 0;
}

bool TMidiPlayV::Open(std::unique_ptr<MidiOut> device) {
  if (!device) return false;
  std::lock_guard lock(lock_);
  out_ = std::move(device);
  return true;
}

std::unique_ptr<MidiOut> TMidiPlayV::Close() {
  std::lock_guard lock(lock_);
  if (!out_) return nullptr;
  StopLocked();
  out_->Reset();
  return std::move(out_);
}

bool TMidiPlayV::IsOpen() const {
  std::lock_guard lock(lock_);
  return out_ != nullptr;
}

void TMidiPlayV::AllNotesOffLocked() {
  if (!out_) return;
  for (uint8_t channel = 0; channel < 16; ++channel) {
    const uint8_t message[3] = {static_cast<uint8_t>(0xB0 | channel), 0x7B, 0x00};
    out_->SendShort(message);
  }
}

void TMidiPlayV::StopLocked() {
  if (!enabled_) return;
  enabled_ = false;
  AllNotesOffLocked();
}

void TMidiPlayV::Stop() {
  std::lock_guard lock(lock_);
  StopLocked();
}

void TMidiPlayV::SendLocked(const TMidiMsgEvent& e) {
  if (observer_) observer_(e, position_);
  if (e.MessageClass == MidiMessageClass::kMeta) return;
  if (e.MessageClass == MidiMessageClass::kSysEx) {
    if (out_) out_->SendLong(e.Bytes);
    return;
  }
  if (e.Bytes[0] < 0x80) return;  // a stray data byte: no device could make sense of it
  if (e.Kind == kMidiControl && e.Bytes.size() >= 3) {
    uint8_t channel = e.Bytes[0] & 0x0F;
    uint8_t controller = e.Bytes[1] & 0x7F;
    lastValue_[channel][controller] = e.Bytes[2] & 0x7F;
    // A scale above 100 % saturates instead of spilling into the status bit.
    int32_t value = std::clamp(lastValue_[channel][controller] * scale_[channel][controller] / 100, 0, 127);
    const uint8_t message[3] = {e.Bytes[0], controller, static_cast<uint8_t>(value)};
    if (out_) out_->SendShort(message);
    return;
  }
  if (out_) out_->SendShort(e.Bytes);
}

void TMidiPlayV::Step(uint32_t now) {
  std::lock_guard lock(lock_);
  if (!enabled_) return;
  const auto& events = midi_.Events();
  // With repeat on the last event must still become due, to wrap; only a piece that ends stops here.
  if (events.empty() || (next_ + 1 >= events.size() && !repeat_)) {
    enabled_ = false;
    return;
  }
  uint32_t elapsed = std::min<uint32_t>(1000, now - lastStep_);
  position_ += static_cast<int32_t>(elapsed);
  lastStep_ = now;
  while (next_ < events.size() && events[next_].Time < position_) {
    if (next_ + 1 < events.size()) {
      SendLocked(events[next_]);
      ++next_;
    } else if (repeat_) {
      AllNotesOffLocked();
      next_ = 0;
      position_ = events[0].Time;
    } else {
      enabled_ = false;
      break;
    }
  }
}

void TMidiPlayV::Rewind() {
  std::lock_guard lock(lock_);
  enabled_ = false;
  AllNotesOffLocked();
  next_ = 0;
  position_ = 0;
}

void TMidiPlayV::PlayFrom(int32_t ms) {
  std::unique_lock lock(lock_);
  enabled_ = false;  // no step while the chase lets go of the lock
  const auto& events = midi_.Events();
  size_t target = 0;
  if (!events.empty() && ms <= events.back().Time) {
    auto later = std::upper_bound(events.begin(), events.end(), ms,
                                  [](int32_t t, const TMidiMsgEvent& e) { return t < e.Time; });
    auto equal = std::lower_bound(events.begin(), later, ms,
                                  [](const TMidiMsgEvent& e, int32_t t) { return e.Time < t; });
    if (equal != later) target = static_cast<size_t>(equal - events.begin());
    else if (later != events.begin()) target = static_cast<size_t>(later - events.begin()) - 1;
  }
  if (target < next_) {
    AllNotesOffLocked();
    next_ = 0;
    position_ = 0;
  } else if (target > next_) {
    AllNotesOffLocked();
  }
  for (; next_ < target; ++next_) {
    const TMidiMsgEvent& e = events[next_];
    position_ = e.Time;
    if (e.Kind == kMidiNoteOn || e.Kind == kMidiNoteOff) continue;
    SendLocked(e);
    if (e.Kind == kMidiGsReset && out_ && out_->NeedsSettle()) {
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      lock.lock();
    }
  }
  // Playing on from the time asked for, not from the event before it: a pause and resume, or a
  // switch to full screen, would otherwise jump back and play a stretch again.
  if (!events.empty() && ms <= events.back().Time) position_ = ms;
  lastStep_ = clock_();
  enabled_ = true;
  lock.unlock();
  wake_.notify_all();
}

bool TMidiPlayV::IsRunning() const {
  std::lock_guard lock(lock_);
  return enabled_;
}

int32_t TMidiPlayV::Position() const {
  std::lock_guard lock(lock_);
  return position_;
}

bool TMidiPlayV::Repeat() const {
  std::lock_guard lock(lock_);
  return repeat_;
}

void TMidiPlayV::SetRepeat(bool value) {
  std::lock_guard lock(lock_);
  repeat_ = value;
}

bool TMidiPlayV::Ended() const {
  std::lock_guard lock(lock_);
  return !repeat_ && next_ + 1 >= std::max<size_t>(midi_.Events().size(), 1);
}

void TMidiPlayV::SetControllerScale(int controller, int percent) {
  std::lock_guard lock(lock_);
  if (controller < 0 || controller > 127) return;
  for (auto& channel : scale_) channel[static_cast<size_t>(controller)] = percent;
  if (!enabled_ || !out_) return;
  for (uint8_t channel = 0; channel < 16; ++channel) {
    int32_t value = std::clamp(lastValue_[channel][static_cast<size_t>(controller)] * percent / 100, 0, 127);
    const uint8_t message[3] = {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller),
                                static_cast<uint8_t>(value)};
    out_->SendShort(message);
  }
}

void TMidiPlayV::SendLong(std::span<const uint8_t> message) {
  std::lock_guard lock(lock_);
  if (out_) out_->SendLong(message);
}

int32_t TMidiPlayV::TotalLength() const {
  std::lock_guard lock(lock_);
  return midi_.TotalLength();
}

bool TMidiPlayV::Loaded() const {
  std::lock_guard lock(lock_);
  return !midi_.Events().empty();
}

void TMidiPlayV::SetObserver(Observer observer) {
  std::lock_guard lock(lock_);
  observer_ = std::move(observer);
}

}  // namespace orin

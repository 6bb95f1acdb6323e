#include "shell/read_aloud_gate.h"

namespace orin {

void ReadAloudGate::PageShown(std::string text, uint32_t nowMs, bool voicePlaying) {
  waiting_ = std::move(text);
  shownAt_ = nowMs;
  voiced_ = voicePlaying;
}

std::optional<std::string> ReadAloudGate::Frame(uint32_t nowMs, bool voicePlaying) {
  if (!waiting_) return std::nullopt;
  voiced_ = voiced_ || voicePlaying;
  if (nowMs - shownAt_ < kWaitMs) return std::nullopt;
  std::optional<std::string> say;
  if (!voiced_) say = std::move(waiting_);
  waiting_.reset();
  return say;
}

}  // namespace orin

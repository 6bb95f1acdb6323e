// ReadAloudGate: when read-aloud speaks a page. A page is spoken kWaitMs after it is shown,
// unless a voice line of the game played meanwhile (or was playing when it was shown): the game
// voices that page itself. A click drops the page waiting; a newer page replaces it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orin {

class ReadAloudGate {
 public:
  static constexpr uint32_t kWaitMs = 300;

  void PageShown(std::string text, uint32_t nowMs, bool voicePlaying);
  void Clicked() { waiting_.reset(); }
  // Once per frame: the text to speak now, if any.
  std::optional<std::string> Frame(uint32_t nowMs, bool voicePlaying);

 private:
  std::optional<std::string> waiting_;
  uint32_t shownAt_ = 0;
  bool voiced_ = false;
};

}  // namespace orin

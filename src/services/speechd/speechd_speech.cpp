// The desktop's speech service through speech-dispatcher's client library; the only file that
// includes it.
#include <libspeechd.h>

#include "services/speaker.h"

namespace orin {

namespace {

class SpeechDispatcher final : public SpeechBackend {
 public:
  ~SpeechDispatcher() override {
    if (connection_ != nullptr) spd_close(connection_);
  }
  bool Open(std::string& problem) override {
    char* error = nullptr;
    connection_ = spd_open2("orinplay", "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    if (connection_ == nullptr) {
      problem = error != nullptr ? error : "no speech service";
      free(error);
      return false;
    }
    return true;
  }
  void Say(const std::string& utf8) override {
    if (spd_say(connection_, SPD_TEXT, utf8.c_str()) < 0) spd_cancel(connection_);
  }
  void Cancel() override { spd_cancel(connection_); }

 private:
  SPDConnection* connection_ = nullptr;
};

}  // namespace

std::unique_ptr<SpeechBackend> MakeDesktopSpeech() { return std::make_unique<SpeechDispatcher>(); }

}  // namespace orin

// Read-aloud when the player is built without a speech library.
#include "services/speaker.h"

namespace orin {

std::unique_ptr<SpeechBackend> MakeDesktopSpeech() { return nullptr; }

}  // namespace orin

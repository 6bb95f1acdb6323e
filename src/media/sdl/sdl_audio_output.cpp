#include "media/sdl/sdl_audio_output.h"

#include <SDL.h>

#include <cstring>
#include <string>

#include "core/cp932.h"
#include "core/error.h"

namespace orin {
namespace {

[[noreturn]] void ThrowSdl(const char* what) {
  std::string message = what;
  message.append(": ").append(SDL_GetError());
  throw Error(FromUtf8(message));
}

}  // namespace

SdlAudioOutput::~SdlAudioOutput() {
  Close();
}

void SdlAudioOutput::Trampoline(void* self, uint8_t* stream, int len) {
  auto* output = static_cast<SdlAudioOutput*>(self);
  const size_t frames = static_cast<size_t>(len) / kBytesPerFrame;
  std::memset(stream, 0, static_cast<size_t>(len));
  if (output->callback_) output->callback_(reinterpret_cast<int16_t*>(stream), frames);
}

void SdlAudioOutput::Open(Mode mode, int bufferFrames) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) ThrowSdl("cannot start the sound");
  subsystem_ = true;
  SDL_AudioSpec want{};
  want.freq = kRate;
  want.format = AUDIO_S16SYS;
  want.channels = kChannels;
  // SDL wants a power of two.
  int samples = 64;
  while (samples < bufferFrames && samples < 32768) samples *= 2;
  want.samples = static_cast<Uint16>(samples);
  if (mode == Mode::kPull) {
    want.callback = &SdlAudioOutput::Trampoline;
    want.userdata = this;
  }
  SDL_AudioSpec have{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
    ThrowSdl("cannot open the sound device");
  }
  mode_ = mode;
  paused_ = false;
  bufferFrames_ = have.samples;
  SDL_PauseAudioDevice(device_, 0);
}

void SdlAudioOutput::OpenPull(PullCallback callback, int bufferFrames) {
  Close();
  callback_ = std::move(callback);
  Open(Mode::kPull, bufferFrames);
}

void SdlAudioOutput::OpenQueue(int bufferFrames) {
  Close();
  Open(Mode::kQueue, bufferFrames);
}

void SdlAudioOutput::Close() {
  // Closing the device waits for a running callback to return.
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
  mode_ = Mode::kClosed;
  paused_ = false;
  bufferFrames_ = 0;
  callback_ = nullptr;
}

void SdlAudioOutput::Queue(const int16_t* samples, size_t frames) {
  if (mode_ != Mode::kQueue || frames == 0) return;
  // SDL takes a 32-bit length; a huge block goes in pieces.
  constexpr size_t kMaxFrames = 1u << 24;
  while (frames > 0) {
    const size_t n = frames < kMaxFrames ? frames : kMaxFrames;
    SDL_QueueAudio(device_, samples, static_cast<Uint32>(n * kBytesPerFrame));
    samples += n * kChannels;
    frames -= n;
  }
}

size_t SdlAudioOutput::QueuedBytes() const {
  return mode_ == Mode::kQueue ? SDL_GetQueuedAudioSize(device_) : 0;
}

void SdlAudioOutput::Pause() {
  if (device_ == 0) return;
  SDL_PauseAudioDevice(device_, 1);
  paused_ = true;
}

void SdlAudioOutput::Resume() {
  if (device_ == 0) return;
  SDL_PauseAudioDevice(device_, 0);
  paused_ = false;
}

}  // namespace orin

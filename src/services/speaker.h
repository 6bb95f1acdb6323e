// Speaker: reads pages aloud through a speech back end on a thread of its own, so that a speech
// service that hangs (or is slow to answer at connection) never holds up a frame.
//
// Only the newest request counts: a page said while the previous one still waits replaces it,
// and Cancel drops what waits and stops what is being spoken. While muted (a voice line of the
// game plays) nothing new is spoken, and muting stops the current utterance. The speaker's end
// waits at most kCloseWaitMs for the worker; a worker stuck in the service is left behind.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/log.h"

namespace orin {

class SpeechBackend {
 public:
  virtual ~SpeechBackend() = default;
  // Connects to the service; false (with problem set) when there is none. Called on the worker.
  virtual bool Open(std::string& problem) = 0;
  virtual void Say(const std::string& utf8) = 0;
  virtual void Cancel() = 0;
};

// The desktop's speech service (speech-dispatcher), or null when the player was built without it.
std::unique_ptr<SpeechBackend> MakeDesktopSpeech();

class Speaker {
 public:
  // How long the speaker's end waits for the worker to close the connection.
  static constexpr int kCloseWaitMs = 500;

  Speaker(std::unique_ptr<SpeechBackend> backend, Log& log);
  ~Speaker();
  Speaker(const Speaker&) = delete;
  Speaker& operator=(const Speaker&) = delete;

  void Say(std::string utf8);
  void Cancel();
  void SetMuted(bool muted);

 private:
  // Shared with the worker, which may outlive the speaker while the service hangs.
  struct State {
    std::mutex Mutex;
    std::condition_variable Wake;
    std::optional<std::string> Pending;
    bool CancelNow = false;
    bool Muted = false;
    bool Stop = false;
    bool Finished = false;
    std::condition_variable Done;
    Log* Logger = nullptr;  // null once the speaker is gone
  };
  static void Run(std::shared_ptr<State> state, std::unique_ptr<SpeechBackend> backend);

  std::shared_ptr<State> state_;
};

}  // namespace orin

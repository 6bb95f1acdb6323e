#include "services/speaker.h"

#include <chrono>
#include <thread>

#include "core/cp932.h"

namespace orin {

Speaker::Speaker(std::unique_ptr<SpeechBackend> backend, Log& log) : state_(std::make_shared<State>()) {
  state_->Logger = &log;
  // Detached: a back end stuck in the service must not keep the player from ending.
  std::thread(Run, state_, std::move(backend)).detach();
}

Speaker::~Speaker() {
  std::unique_lock<std::mutex> lock(state_->Mutex);
  state_->Stop = true;
  state_->Logger = nullptr;
  state_->Wake.notify_all();
  // A worker that answers closes its connection before the player goes on to end; one stuck in
  // the service is left behind rather than waited for.
  state_->Done.wait_for(lock, std::chrono::milliseconds(kCloseWaitMs), [&] { return state_->Finished; });
}

void Speaker::Say(std::string utf8) {
  {
    std::lock_guard<std::mutex> lock(state_->Mutex);
    if (state_->Muted) return;
    state_->Pending = std::move(utf8);
    state_->CancelNow = true;
  }
  state_->Wake.notify_one();
}

void Speaker::Cancel() {
  {
    std::lock_guard<std::mutex> lock(state_->Mutex);
    state_->Pending.reset();
    state_->CancelNow = true;
  }
  state_->Wake.notify_one();
}

void Speaker::SetMuted(bool muted) {
  {
    std::lock_guard<std::mutex> lock(state_->Mutex);
    if (state_->Muted == muted) return;
    state_->Muted = muted;
    if (!muted) return;
    state_->Pending.reset();
    state_->CancelNow = true;
  }
  state_->Wake.notify_one();
}

void Speaker::Run(std::shared_ptr<State> state, std::unique_ptr<SpeechBackend> backend) {
  auto finish = [&] {
    std::lock_guard<std::mutex> lock(state->Mutex);
    state->Finished = true;
    state->Done.notify_all();
  };
  std::string problem;
  if (!backend || !backend->Open(problem)) {
    {
      std::lock_guard<std::mutex> lock(state->Mutex);
      if (state->Logger != nullptr)
        state->Logger->Warn(LogChannel::kShell,
                            "read-aloud is off: " + (backend ? FromUtf8(problem) : std::string("built without a speech library")));
    }
    backend.reset();
    finish();
    return;
  }
  std::unique_lock<std::mutex> lock(state->Mutex);
  while (true) {
    state->Wake.wait(lock, [&] { return state->Stop || state->CancelNow || state->Pending; });
    if (state->Stop) break;
    const bool cancel = state->CancelNow;
    std::optional<std::string> text = std::move(state->Pending);
    state->Pending.reset();
    state->CancelNow = false;
    lock.unlock();
    if (cancel) backend->Cancel();
    if (text) backend->Say(*text);
    lock.lock();
  }
  lock.unlock();
  backend->Cancel();
  backend.reset();
  finish();
}

}  // namespace orin

// HeadlessPlatform: the platform of tests and automation — no window, no sound device.
//
//   * Time is virtual: every PollEvents advances the clock by the fixed frame delta, so each frame
//     of the loop measures exactly that delta; Sleep returns at once without moving the clock.
//   * Input comes from a script (input_script.h), delivered when the loop has run the event's
//     number of frames. The application is always active.
//   * Presented frames go into Screen(), from which screenshots are taken.
//   * Message boxes are printed to the error stream (UTF-8) and answered from a list of answers,
//     used in order, the last one repeating; an answer the box does not offer maps to its
//     counterpart (ok ↔ yes, cancel ↔ no). Without answers every box takes its first button.
//     A run that shows more than kMaxMessagesWithoutFrame boxes without a frame between them is
//     stuck in a question loop: the platform throws HeadlessStuck.
//   * WaitEvents answers false: nothing can arrive that the script did not bring.
//   * A frame whose script never yields would hold a run forever (nobody is there to close the
//     window, and --frames is never reached): once one frame has run StallLimitMs of real time,
//     the platform asks the window to close, as the close box would, and Stalled() says so.
//   * The screen: a fixed desktop of 1920 × 1080, 32 bits, 60 Hz (kDesktop), and the modes of
//     kDisplayModes. Full screen is only a flag (Screen() stays the panel); the scale mode and
//     filter and whether the screen saver is held off are remembered.
//   * Sound goes to a null device (media/null/) on the same virtual clock: every PollEvents
//     advances it by the frame delta, so the sound of frame n is exactly the samples of its span.
//     With a recording file (HeadlessOptions::AudioOut) the sound is written there as WAV.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "media/null/null_audio_output.h"
#include "shell/headless/input_script.h"
#include "shell/platform.h"

namespace orin {

class HeadlessStuck : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct HeadlessOptions {
  uint32_t DeltaMs = 16;
  std::vector<ScriptedInput> Input;
  std::vector<MessageResult> Answers;
  FILE* Messages = stderr;  // where message boxes are printed; null: nowhere
  std::string AudioOut;     // a WAV file that receives the sound; empty: none
  uint32_t StallLimitMs = 10000;  // real time one frame may run; 0: no limit
};

class HeadlessPlatform final : public Platform {
 public:
  static constexpr int kMaxMessagesWithoutFrame = 100;

  static constexpr DisplayMode kDesktop{1920, 1080, 32, 60};
  static const std::vector<DisplayMode> kDisplayModes;

  // Throws Error when the recording file cannot be created.
  explicit HeadlessPlatform(HeadlessOptions options);

  void CreateWindow(const WindowLayout& layout) override;
  void SetCaption(const std::string& cp932) override { caption_ = cp932; }
  void PollEvents(int64_t framesRun, std::vector<InputEvent>& out) override;
  // Scripted input comes between frames, and the virtual clock moves only there; from inside a
  // frame the platform only watches the stall limit.
  void PollEventsInFrame(int64_t framesRun, std::vector<InputEvent>& out) override;
  bool WaitEvents(uint32_t) override { return false; }
  bool Present(const FrameView& panel, const std::vector<Rect>& dirty) override;
  void PresentDock(const FrameView&) override {}
  const PixelBuffer& Screen() const override { return screen_; }
  MessageResult ShowMessage(const std::string& caption, const std::string& text,
                            MessageButtons buttons, MessageIcon icon) override;
  DisplayMode DesktopMode() const override { return kDesktop; }
  std::vector<DisplayMode> DisplayModes() const override { return kDisplayModes; }
  bool SetFullScreen(bool on) override;
  bool FullScreen() const override { return fullScreen_; }
  void SetScaleFilter(ScaleFilter filter) override { filter_ = filter; }
  void SetScaleMode(ScaleMode mode) override { scaleMode_ = mode; }
  void InhibitScreenSaver(bool on) override { screenSaverInhibited_ = on; }
  std::unique_ptr<AudioOutput> CreateAudioOutput() override { return audio_.CreateOutput(); }
  uint32_t Ticks() override { return now_; }
  void Sleep(uint32_t) override {}
  bool IsActive() const override { return true; }
  bool HasDock() const override { return false; }
  void SetTextInput(bool on, const Rect& caret) override {
    textInput_ = on;
    textCaret_ = caret;
  }
  std::string ClipboardText() override { return clipboard_; }
  void SetClipboardText(const std::string& utf8) override { clipboard_ = utf8; }
  bool TextInputOn() const { return textInput_; }
  const Rect& TextCaret() const { return textCaret_; }

  // "ok", "cancel", "yes" or "no".
  static std::optional<MessageResult> ParseAnswer(std::string_view word);
  // The answer a box with these buttons takes for the wanted one.
  static MessageResult AnswerFor(MessageButtons buttons, std::optional<MessageResult> wanted);

  const std::string& Caption() const { return caption_; }
  int Presents() const { return presents_; }
  int MessagesShown() const { return messagesShown_; }
  bool ScriptDone() const { return next_ >= options_.Input.size(); }
  ScaleFilter Filter() const { return filter_; }
  ScaleMode Scaling() const { return scaleMode_; }
  bool ScreenSaverInhibited() const { return screenSaverInhibited_; }
  // The frame that ran past the stall limit (and how long it had run), when one did.
  bool Stalled() const { return stalled_; }
  int64_t StalledFrame() const { return stallFrame_; }
  // The sound device; FinishRecording reports a recording that could not be written.
  NullAudioDevice& Audio() { return audio_; }

 private:
  HeadlessOptions options_;
  std::string clipboard_;
  bool textInput_ = false;
  Rect textCaret_;
  std::string caption_;
  PixelBuffer screen_;
  uint32_t now_ = 0;
  size_t next_ = 0;
  size_t answerIndex_ = 0;
  int presents_ = 0;
  int messagesShown_ = 0;
  int messagesSincePoll_ = 0;
  bool windowCreated_ = false;
  bool fullScreen_ = false;
  ScaleFilter filter_ = ScaleFilter::kAuto;
  ScaleMode scaleMode_ = ScaleMode::kFit;
  bool screenSaverInhibited_ = false;
  NullAudioDevice audio_;
  // The frame being watched from inside, and when (real time) the platform first saw it.
  int64_t stallFrame_ = -1;
  uint32_t stallSince_ = 0;
  bool stalled_ = false;
};

}  // namespace orin

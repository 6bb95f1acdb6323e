#include "shell/headless/headless_platform.h"

#include <algorithm>

#include "core/clock.h"
#include "core/cp932.h"

namespace orin {

const std::vector<DisplayMode> HeadlessPlatform::kDisplayModes = {
    {1920, 1080, 32, 60}, {1280, 1024, 32, 60}, {1280, 720, 32, 60}, {1024, 768, 32, 60},
    {800, 600, 32, 60},   {640, 480, 32, 60},   {640, 480, 16, 60},
};

HeadlessPlatform::HeadlessPlatform(HeadlessOptions options) : options_(std::move(options)) {
  if (!options_.AudioOut.empty()) audio_.RecordTo(options_.AudioOut);
}

void HeadlessPlatform::CreateWindow(const WindowLayout& layout) {
  windowCreated_ = true;
  caption_ = layout.Caption;
  if (screen_.Width() != layout.PanelWidth || screen_.Height() != layout.PanelHeight)
    screen_.Resize(layout.PanelWidth, layout.PanelHeight, 0);
}

void HeadlessPlatform::PollEvents(int64_t framesRun, std::vector<InputEvent>& out) {
  now_ += options_.DeltaMs;
  audio_.Advance(options_.DeltaMs);
  messagesSincePoll_ = 0;
  while (next_ < options_.Input.size() && options_.Input[next_].Frame <= framesRun) {
    const ScriptedInput& input = options_.Input[next_++];
    if (input.Clipboard)
      clipboard_ = *input.Clipboard;
    else
      out.push_back(input.Event);
  }
}

void HeadlessPlatform::PollEventsInFrame(int64_t framesRun, std::vector<InputEvent>& out) {
  if (options_.StallLimitMs == 0 || stalled_) return;
  const uint32_t now = MonotonicMilliseconds();
  if (framesRun != stallFrame_) {
    // The window only looks from inside a frame that has already run a while: count from here.
    stallFrame_ = framesRun;
    stallSince_ = now;
    return;
  }
  if (now - stallSince_ < options_.StallLimitMs) return;
  stalled_ = true;
  InputEvent close;
  close.Kind = InputKind::kClose;
  out.push_back(close);
}

bool HeadlessPlatform::SetFullScreen(bool on) {
  if (windowCreated_) fullScreen_ = on;
  return fullScreen_ == on;
}

bool HeadlessPlatform::Present(const FrameView& panel, const std::vector<Rect>& dirty) {
  const bool copied = screen_.CopyRects(panel, dirty);
  if (copied) ++presents_;
  return copied;
}

std::optional<MessageResult> HeadlessPlatform::ParseAnswer(std::string_view word) {
  if (word == "ok") return MessageResult::kOk;
  if (word == "cancel") return MessageResult::kCancel;
  if (word == "yes") return MessageResult::kYes;
  if (word == "no") return MessageResult::kNo;
  return std::nullopt;
}

MessageResult HeadlessPlatform::AnswerFor(MessageButtons buttons,
                                          std::optional<MessageResult> wanted) {
  const bool positive = !wanted || *wanted == MessageResult::kOk || *wanted == MessageResult::kYes;
  switch (buttons) {
    case MessageButtons::kOk:
      return MessageResult::kOk;
    case MessageButtons::kOkCancel:
      return positive ? MessageResult::kOk : MessageResult::kCancel;
    case MessageButtons::kYesNo:
      return positive ? MessageResult::kYes : MessageResult::kNo;
  }
  return MessageResult::kOk;
}

MessageResult HeadlessPlatform::ShowMessage(const std::string& caption, const std::string& text,
                                            MessageButtons buttons, MessageIcon) {
  if (++messagesSincePoll_ > kMaxMessagesWithoutFrame)
    throw HeadlessStuck(
        "headless: message boxes keep coming without a frame between them; giving up");
  ++messagesShown_;
  std::optional<MessageResult> wanted;
  if (!options_.Answers.empty()) {
    wanted = options_.Answers[std::min(answerIndex_, options_.Answers.size() - 1)];
    ++answerIndex_;
  }
  const MessageResult answer = AnswerFor(buttons, wanted);
  if (options_.Messages != nullptr) {
    static constexpr const char* kNames[] = {"ok", "cancel", "yes", "no"};
    std::fprintf(options_.Messages, "[%s] %s -> %s\n", ToUtf8(caption).c_str(),
                 ToUtf8(text).c_str(), kNames[static_cast<int>(answer)]);
    std::fflush(options_.Messages);
  }
  return answer;
}

}  // namespace orin

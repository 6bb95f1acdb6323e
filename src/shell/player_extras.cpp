#include "shell/player_extras.h"

#include <ctime>
#include <filesystem>

#include "core/cp932.h"
#include "core/error.h"
#include "imaging/freetype_rasterizer.h"
#include "resources/host_fs.h"
#include "scene/model/orin_base_list.h"
#include "script/call_man.h"
#include "script/page.h"
#include "script/project.h"
#include "shell/player_host.h"
#include "shell/screenshot.h"

namespace orin {

namespace {

uint32_t NowMs() {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace

FeedPage FeedPageOf(const std::string& cp932Window, const PlainPage& plain) {
  FeedPage page;
  page.Window = ToUtf8(cp932Window);
  page.Text = ToUtf8(plain.Text);
  for (const auto& [base, reading] : plain.Ruby) page.Ruby.push_back(FeedRuby{ToUtf8(base), ToUtf8(reading)});
  return page;
}

class PlayerExtras::ClipboardSink final : public FeedSink {
 public:
  explicit ClipboardSink(PlayerExtras& owner) : owner_(owner) {}
  const char* Name() const override { return "--text-clipboard"; }
  void Publish(const FeedPage& page) override {
    std::lock_guard<std::mutex> lock(owner_.clipboardMutex_);
    owner_.clipboard_ = page.Text;
  }

 private:
  PlayerExtras& owner_;
};

class PlayerExtras::WebSocketSink final : public FeedSink {
 public:
  explicit WebSocketSink(WebSocketServer& server) : server_(server) {}
  const char* Name() const override { return "--text-websocket"; }
  // Pages go out as their plain text, one message each, as dictionary pages expect of a source.
  void Publish(const FeedPage& page) override { server_.Broadcast(page.Text); }

 private:
  WebSocketServer& server_;
};

PlayerExtras::PlayerExtras(Platform& platform, PlayerHost& host, Log& log, const ExtrasOptions& options)
    : platform_(platform), host_(host), log_(log), screenshotFolder_(options.ScreenshotFolder) {
  feed_ = std::make_unique<TextFeed>(log);
  auto start = [&](const char* option, const std::function<void()>& add) {
    try {
      add();
    } catch (const Error& e) {
      problems_.push_back(std::string(option) + " is off: " + e.Utf8Report());
      log_.Warn(LogChannel::kShell, std::string(option) + " is off: " + e.Message());
    }
  };
  if (!options.TextFeed.empty())
    start("--text-feed", [&] { feed_->AddSink(std::make_unique<JsonLinesSink>(options.TextFeed)); });
  if (options.TextClipboard) {
    feed_->AddSink(std::make_unique<ClipboardSink>(*this));
    clipboardOn_ = true;
  }
  if (options.TextWebSocket > 0)
    start("--text-websocket", [&] {
      auto server = std::make_unique<WebSocketServer>(log);
      server->Start(options.TextWebSocket);
      server_ = std::move(server);
      feed_->AddSink(std::make_unique<WebSocketSink>(*server_));
    });
  if (options.Speak) speaker_ = std::make_unique<Speaker>(MakeDesktopSpeech(), log);
  if (options.Overlay) ShowOverlay(true);
}

PlayerExtras::~PlayerExtras() {
  ShowOverlay(false);
  Flush();
  // The feed goes before what its sinks point at.
  feed_.reset();
}

void PlayerExtras::PageShown(const std::string& window, const TWdPage& page) {
  if (feed_->Empty() && !speaker_) return;
  FeedPage fed = FeedPageOf(window, PagePlainText(page));
  if (speaker_) {
    speaker_->Cancel();
    gate_.PageShown(fed.Text, NowMs(), census_ && census_().VoiceLike);
  }
  if (!feed_->Empty()) feed_->Publish(std::move(fed));
}

bool PlayerExtras::KeyDown(int key) {
  if (key == kVkF12) {
    TakeScreenshot();
    return true;
  }
  if (key == kVkF3) {
    ShowOverlay(!overlayShown_);
    return true;
  }
  return false;
}

void PlayerExtras::Clicked() {
  if (!speaker_) return;
  gate_.Clicked();
  speaker_->Cancel();
}

void PlayerExtras::Flush() {
  if (feed_) feed_->Flush();
  for (std::thread& t : writers_) t.join();
  writers_.clear();
}

std::string PlayerExtras::TakeScreenshot() {
  const PixelBuffer& screen = platform_.Screen();
  if (screen.Width() <= 0 || screen.Height() <= 0) return {};
  std::error_code ec;
  std::filesystem::create_directories(screenshotFolder_, ec);
  const std::string path = ScreenshotPath(screenshotFolder_, ToUtf8(host_.Title()), std::time(nullptr),
                                          [](const std::string& p) { return std::filesystem::exists(p); });
  // The picture is copied now; encoding it takes longer than a frame, so it goes to a thread.
  auto copy = std::make_shared<PixelBuffer>(screen);
  Log& log = log_;
  writers_.emplace_back([copy, path, &log] {
    try {
      WritePng(path, copy->View());
      log.Info(LogChannel::kShell, FromUtf8("screenshot: " + path));
    } catch (const Error& e) {
      log.Warn(LogChannel::kShell, "screenshot: " + e.Message());
    }
  });
  return path;
}

void PlayerExtras::ShowOverlay(bool shown) {
  if (shown == overlayShown_) return;
  if (shown && !overlay_ && !overlayBroken_) {
    try {
      overlay_ = std::make_unique<DebugOverlay>(std::make_unique<FreeTypeRasterizer>(host_.Fonts()));
    } catch (const Error& e) {
      overlayBroken_ = true;
      log_.Warn(LogChannel::kShell, "the debug overlay has no font: " + e.Message());
    }
  }
  if (shown && !overlay_) return;
  overlayShown_ = shown;
  if (shown) {
    traceTail_ = std::make_unique<TraceTail>(host_.TraceOut());
    host_.SetTrace(traceTail_.get());
    overlayDrawn_.reset();
    lastFrame_.reset();
  } else {
    if (traceTail_) host_.SetTrace(traceTail_->Next());
    traceTail_.reset();
    platform_.SetOverlay(nullptr);
  }
}

OverlayStats PlayerExtras::Stats() {
  OverlayStats s;
  s.FrameMs = frameMs_;
  s.Fps = fps_;
  if (TProject* project = host_.Project(); project && project->CallMan()) {
    const TCallMan& calls = *project->CallMan();
    if (const TPage* page = calls.CurrentPage()) {
      s.Page = page->Name;
      s.Command = calls.Index();
    }
  }
  if (TOrinBaseList* scene = host_.GameScene()) s.Objects = scene->ObjectCount();
  if (census_) s.AudioSources = census_().Playing;
  if (traceTail_) s.Trace = traceTail_->Lines();
  return s;
}

void PlayerExtras::AfterFrame() {
  if (clipboardOn_) {
    std::optional<std::string> text;
    {
      std::lock_guard<std::mutex> lock(clipboardMutex_);
      text.swap(clipboard_);
    }
    if (text) platform_.SetClipboardText(*text);
  }
  if (speaker_) {
    const bool voice = census_ && census_().VoiceLike;
    speaker_->SetMuted(voice);
    if (auto say = gate_.Frame(NowMs(), voice)) speaker_->Say(std::move(*say));
  }
  if (!overlayShown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (lastFrame_) {
    const double ms = std::chrono::duration<double, std::milli>(now - *lastFrame_).count();
    // Smoothed, so that the numbers can be read.
    frameMs_ = frameMs_ == 0 ? ms : frameMs_ * 0.9 + ms * 0.1;
    fps_ = frameMs_ > 0 ? 1000.0 / frameMs_ : 0;
  }
  lastFrame_ = now;
  const auto nowMs = static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
  if (!DebugOverlay::Due(overlayDrawn_, nowMs)) return;
  overlayDrawn_ = nowMs;
  platform_.SetOverlay(&overlay_->Draw(Stats()));
}

}  // namespace orin

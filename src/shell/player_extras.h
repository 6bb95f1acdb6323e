// PlayerExtras: what the player offers beyond the game, none of which changes how the game
// behaves — the text feed of every new page (JSON lines, the clipboard, WebSocket clients,
// read-aloud), the screenshot key (F12), the debug overlay (F3).
//
// It sits between the window and the game: the window hands it keys first (it takes F3 and F12;
// the game never sees them), tells it of clicks (which stop read-aloud) and calls it after every
// frame (the overlay, the clipboard); the game's message windows tell it of new pages
// (PageObserver). Everything slow runs elsewhere: the feed and read-aloud on their own threads,
// a screenshot's PNG on a thread of its own; the clipboard is set on the frame thread, because
// the desktop's clipboard belongs to the window's thread, from the text the feed thread left.
// What fails is said once in the log and that feature alone stops.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "scene/text/page_plain_text.h"
#include "services/speaker.h"
#include "services/text_feed.h"
#include "services/websocket_server.h"
#include "shell/debug_overlay.h"
#include "shell/form_view.h"
#include "shell/media_census.h"
#include "shell/read_aloud_gate.h"
#include "shell/platform.h"

namespace orin {

class PlayerHost;

// A page as the feed carries it: the window's name, text and ruby in UTF-8.
FeedPage FeedPageOf(const std::string& cp932Window, const PlainPage& plain);

struct ExtrasOptions {
  std::string TextFeed;  // a file, "-" for stdout, empty for none
  bool TextClipboard = false;
  int TextWebSocket = 0;  // 0: none
  bool Speak = false;
  bool Overlay = false;
  std::string ScreenshotFolder;  // ends in "/"
};

class PlayerExtras final : public PageObserver, public WindowExtras {
 public:
  static constexpr int kVkF3 = 0x72;
  static constexpr int kVkF12 = 0x7B;

  // A feed that cannot start (the file cannot be opened, the port is taken) is left out; Problems
  // says which and why.
  PlayerExtras(Platform& platform, PlayerHost& host, Log& log, const ExtrasOptions& options);
  ~PlayerExtras() override;
  PlayerExtras(const PlayerExtras&) = delete;
  PlayerExtras& operator=(const PlayerExtras&) = delete;

  // PageObserver
  void PageShown(const std::string& window, const TWdPage& page) override;
  // WindowExtras
  bool KeyDown(int key) override;
  void Clicked() override;
  void AfterFrame() override;

  // What of the game's sound plays now: the overlay's count of sources; and read-aloud keeps
  // quiet while a voice line plays (a sound that does not loop, of the kinds voices come in) and
  // leaves out a page whose voice starts with it (read_aloud_gate.h). None given: no sound.
  void SetMediaCensus(std::function<MediaCensus()> census) { census_ = std::move(census); }

  void ShowOverlay(bool shown);
  bool OverlayShown() const { return overlayShown_; }
  // Writes the game's screen to the screenshot folder; returns the file's path (empty on failure).
  std::string TakeScreenshot();
  // Waits until queued pages and pictures are written (the end of a run, tests).
  void Flush();
  int WebSocketPort() const { return server_ ? server_->Port() : 0; }
  const std::vector<std::string>& Problems() const { return problems_; }  // UTF-8

 private:
  class ClipboardSink;
  class WebSocketSink;
  OverlayStats Stats();

  Platform& platform_;
  PlayerHost& host_;
  Log& log_;
  std::string screenshotFolder_;
  std::unique_ptr<WebSocketServer> server_;
  std::unique_ptr<Speaker> speaker_;
  std::unique_ptr<TextFeed> feed_;
  // The text the feed thread left for the clipboard.
  std::mutex clipboardMutex_;
  std::optional<std::string> clipboard_;
  bool clipboardOn_ = false;
  // The overlay and what it measures.
  std::unique_ptr<DebugOverlay> overlay_;
  std::unique_ptr<TraceTail> traceTail_;
  bool overlayShown_ = false;
  bool overlayBroken_ = false;
  std::optional<uint32_t> overlayDrawn_;
  std::optional<std::chrono::steady_clock::time_point> lastFrame_;
  double frameMs_ = 0;
  double fps_ = 0;
  std::function<MediaCensus()> census_;
  ReadAloudGate gate_;
  std::vector<std::thread> writers_;
  std::vector<std::string> problems_;
};

}  // namespace orin

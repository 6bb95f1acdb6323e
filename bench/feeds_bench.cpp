// What the player's extras cost the frame loop: publishing a page of about 120 characters with
// ruby to all three feeds (a JSON-lines file, a WebSocket client on the loopback, the clipboard's
// hand-over slot) — the frame thread only extracts the text and queues it — and the debug
// overlay on a shown frame (redrawn every quarter second, so one frame in fifteen at 60 Hz draws
// it) and its full redraw. The budgets are benchmarks that wait exactly that long; the ratios at
// the end say whether each meets its target on this machine (at least 1.0).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bench_support.h"
#include "core/cp932.h"
#include "imaging/font_finder.h"
#include "imaging/freetype_rasterizer.h"
#include "scene/text/page_plain_text.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_layout.h"
#include "scene/text/word_markup.h"
#include "services/text_feed.h"
#include "services/websocket_server.h"
#include "shell/debug_overlay.h"
#include "shell/player_extras.h"

namespace orin {
namespace {

// A client that reads everything it is sent, as a dictionary page does.
class ReadingClient {
 public:
  explicit ReadingClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    const std::string hello =
        "GET / HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
    ::send(fd_, hello.data(), hello.size(), 0);
    reader_ = std::thread([this] {
      char buffer[65536];
      while (::recv(fd_, buffer, sizeof buffer, 0) > 0) {
      }
    });
  }
  ~ReadingClient() {
    ::shutdown(fd_, SHUT_RDWR);
    reader_.join();
    ::close(fd_);
  }

 private:
  int fd_ = -1;
  std::thread reader_;
};

class Slot final : public FeedSink {
 public:
  const char* Name() const override { return "clipboard"; }
  void Publish(const FeedPage& page) override {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = page.Text;
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

void BM_PublishPageToAllFeeds(benchmark::State& state) {
  TTpWord doc;
  ParseMarkup(*Utf8ToCp932("吾輩は<RUBY VALUE=ねこ>猫</RUBY>である。名前はまだ無い。<BR>どこで<RUBY VALUE=う>生</RUBY>れたか"
                           "とんと見当がつかぬ。何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。"
                           "吾輩はここで始めて人間というものを見た。しかもあとで聞くとそれは書生という人間中で一番"
                           "獰悪な種族であったそうだ。"),
              doc, 0);
  doc.Width = 1240;
  doc.Height = 680;
  doc.FontSize = 24;
  LayoutResult layout = LayoutGlyphs(doc, 0, doc.Glyphs.size(), LayoutParamsOf(doc), nullptr);
  Log log;
  WebSocketServer server(log);
  server.Start(0);
  ReadingClient client(server.Port());
  TextFeed feed(log);
  feed.AddSink(std::make_unique<JsonLinesSink>("/dev/null"));
  feed.AddSink(std::make_unique<Slot>());
  struct Socket final : FeedSink {
    explicit Socket(WebSocketServer& s) : server(s) {}
    const char* Name() const override { return "websocket"; }
    void Publish(const FeedPage& page) override { server.Broadcast(page.Text); }
    WebSocketServer& server;
  };
  feed.AddSink(std::make_unique<Socket>(server));
  const std::string window = "msg";
  for (auto _ : state) feed.Publish(FeedPageOf(window, PagePlainText(*layout.Pages[0])));
  feed.Flush();
}
BENCHMARK(BM_PublishPageToAllFeeds)->Unit(benchmark::kMicrosecond);

OverlayStats Stats() {
  OverlayStats s;
  s.FrameMs = 16.7;
  s.Fps = 59.9;
  s.Page = "start.osb";
  s.Command = 120;
  s.Objects = 48;
  s.AudioSources = 3;
  for (int i = 0; i < 6; ++i) s.Trace.push_back("0001a2b3 : start.osb(" + std::to_string(100 + i) + ")");
  return s;
}

FontFinder& Finder() {
  static FontFinder finder;
  return finder;
}

void BM_OverlayRedraw(benchmark::State& state) {
  DebugOverlay overlay(std::make_unique<FreeTypeRasterizer>(Finder()));
  const OverlayStats s = Stats();
  for (auto _ : state) benchmark::DoNotOptimize(overlay.Draw(s).Width());
}
BENCHMARK(BM_OverlayRedraw)->Unit(benchmark::kMicrosecond);

// A shown overlay over frames of 16 ms: the redraw is due one frame in about fifteen.
void BM_OverlayShownFrame(benchmark::State& state) {
  DebugOverlay overlay(std::make_unique<FreeTypeRasterizer>(Finder()));
  std::optional<uint32_t> drawn;
  uint32_t now = 0;
  for (auto _ : state) {
    now += 16;
    if (!DebugOverlay::Due(drawn, now)) continue;
    drawn = now;
    benchmark::DoNotOptimize(overlay.Draw(Stats()).Width());
  }
}
BENCHMARK(BM_OverlayShownFrame)->Unit(benchmark::kMicrosecond);

void BM_Budget(benchmark::State& state) {
  const auto budget = std::chrono::microseconds(state.range(0));
  for (auto _ : state) {
    const auto end = std::chrono::steady_clock::now() + budget;
    while (std::chrono::steady_clock::now() < end) {
    }
  }
}
BENCHMARK(BM_Budget)->Arg(200)->Arg(300)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {
                                        {"BM_Budget/200", "BM_PublishPageToAllFeeds", 1.0},
                                        {"BM_Budget/300", "BM_OverlayShownFrame", 1.0},
                                    });
}

// CurlHttpService: HttpService (scene/model/http_service.h) on libcurl, one worker thread per
// transfer. The only file that includes curl.h.
//
// Privacy first: with NetworkPermission::kDenied every transfer finishes at once, failed, with
// the reason; kAsk asks the Ask callback once (on the user-interface thread, at the first
// request) and keeps the answer for the run; kAllowed goes ahead.
//
// Bounds: only http:// and https:// (redirects too, at most 5), a connect time-out and a
// time-out for the whole transfer, an answer of at most MaxAnswerBytes (a larger one fails as
// "the answer is too large" as soon as it passes the limit). A dropped transfer is cancelled
// through curl's progress callback; the worker finishes by itself and never holds the frame
// loop. The destructor cancels what runs and waits for the workers (at most about a second:
// curl looks at the cancel flag at least that often).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scene/model/http_service.h"

namespace orin {

enum class NetworkPermission { kDenied, kAsk, kAllowed };

struct HttpOptions {
  NetworkPermission Permission = NetworkPermission::kDenied;
  // Asked once when Permission is kAsk: true allows the network for the rest of the run.
  std::function<bool()> Ask;
  uint32_t ConnectTimeoutMs = 10000;
  uint32_t TimeoutMs = 30000;
  size_t MaxAnswerBytes = 1 << 20;
};

class CurlHttpService final : public HttpService {
 public:
  explicit CurlHttpService(HttpOptions options);
  ~CurlHttpService() override;
  CurlHttpService(const CurlHttpService&) = delete;
  CurlHttpService& operator=(const CurlHttpService&) = delete;

  std::unique_ptr<HttpTransfer> Start(const HttpRequest& request) override;
  // The reason a request is refused now, or empty when it may go ahead (asks when it must).
  std::string Refusal();

  struct Shared;

 private:
  HttpOptions options_;
  bool asked_ = false;
  std::mutex mutex_;
  std::vector<std::shared_ptr<Shared>> running_;
  std::vector<std::thread> workers_;
};

}  // namespace orin

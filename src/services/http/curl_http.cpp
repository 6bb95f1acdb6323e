#include "services/http/curl_http.h"

#include <curl/curl.h>

#include <atomic>

#include "core/cp932.h"

namespace orin {

struct CurlHttpService::Shared {
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  std::mutex mutex;
  HttpResult result;
  size_t limit = 0;
  bool tooLarge = false;
};

namespace {

class CurlTransfer final : public HttpTransfer {
 public:
  explicit CurlTransfer(std::shared_ptr<CurlHttpService::Shared> shared) : shared_(std::move(shared)) {}
  ~CurlTransfer() override { shared_->cancel = true; }
  bool Done() const override { return shared_->done; }
  HttpResult Result() const override {
    if (!shared_->done) return {};
    std::lock_guard lock(shared_->mutex);
    return shared_->result;
  }

 private:
  std::shared_ptr<CurlHttpService::Shared> shared_;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
  auto* shared = static_cast<CurlHttpService::Shared*>(user);
  const size_t n = size * count;
  std::string& body = shared->result.Body;
  if (n > shared->limit - body.size()) {
    shared->tooLarge = true;
    return 0;  // curl stops with a write error
  }
  body.append(data, n);
  return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<CurlHttpService::Shared*>(user)->cancel ? 1 : 0;
}

bool SchemeAllowed(const std::string& url) {
  const std::string lower = LowerCase(url.substr(0, 8));
  return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

void Run(const HttpRequest request, const HttpOptions& options, std::shared_ptr<CurlHttpService::Shared> shared) {
  HttpResult result;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    result.Error = "the network library could not start a transfer";
  } else {
    shared->limit = options.MaxAnswerBytes;
    curl_easy_setopt(curl, CURLOPT_URL, request.Url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.ConnectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options.TimeoutMs));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "orinplay");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, shared.get());
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, shared.get());
    // An answer that says in advance it is too large is not even started.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.MaxAnswerBytes));
    if (request.Post) {
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.Body.data());
      curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.Body.size()));
    }
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    result.Body = std::move(shared->result.Body);
    if (code == CURLE_OK) {
      result.Ok = true;
      result.Status = static_cast<int>(status);
    } else {
      result.Body.clear();
      if (shared->tooLarge || code == CURLE_FILESIZE_EXCEEDED)
        result.Error = "the answer is too large";
      else if (code == CURLE_OPERATION_TIMEDOUT)
        result.Error = "the server did not answer in time";
      else if (code == CURLE_ABORTED_BY_CALLBACK)
        result.Error = "the request was cancelled";
      else
        result.Error = curl_easy_strerror(code);
    }
  }
  {
    std::lock_guard lock(shared->mutex);
    shared->result = std::move(result);
  }
  shared->done = true;
}

}  // namespace

CurlHttpService::CurlHttpService(HttpOptions options) : options_(std::move(options)) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlHttpService::~CurlHttpService() {
  for (auto& shared : running_) shared->cancel = true;
  for (std::thread& t : workers_)
    if (t.joinable()) t.join();
  curl_global_cleanup();
}

std::string CurlHttpService::Refusal() {
  switch (options_.Permission) {
    case NetworkPermission::kAllowed:
      return {};
    case NetworkPermission::kAsk:
      if (!asked_) {
        asked_ = true;
        if (options_.Ask && options_.Ask()) {
          options_.Permission = NetworkPermission::kAllowed;
          return {};
        }
        options_.Permission = NetworkPermission::kDenied;
      }
      break;
    case NetworkPermission::kDenied:
      break;
  }
  return "the network is not allowed (start the player with --allow-network to allow it)";
}

std::unique_ptr<HttpTransfer> CurlHttpService::Start(const HttpRequest& request) {
  HttpResult refused;
  if (!SchemeAllowed(request.Url))
    refused.Error = "only http:// and https:// addresses can be requested";
  else
    refused.Error = Refusal();
  if (!refused.Error.empty()) return std::make_unique<FinishedTransfer>(refused);

  auto shared = std::make_shared<Shared>();
  std::lock_guard lock(mutex_);
  // Workers that finished are joined here, so the lists stay as short as what runs.
  for (size_t i = 0; i < running_.size();) {
    if (running_[i]->done && workers_[i].joinable()) {
      workers_[i].join();
      running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
      workers_.erase(workers_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  running_.push_back(shared);
  workers_.emplace_back(Run, request, std::cref(options_), shared);
  return std::make_unique<CurlTransfer>(shared);
}

}  // namespace orin

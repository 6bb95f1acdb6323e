// HttpService: what the network object (TOrinHttp) needs of the outside world — one request at
// a time per transfer, run off the user-interface thread and polled once a frame, never waited
// for. Implemented above the scene (services/http/ on libcurl); tests bring their own.
//
// The service decides whether the network may be used at all: a transfer it refuses finishes at
// once, failed, with the reason in Error.
#pragma once

#include <memory>
#include <string>

namespace orin {

struct HttpRequest {
  std::string Url;   // http:// or https:// only
  bool Post = false;
  std::string Body;  // sent as it is with Post
};

struct HttpResult {
  bool Ok = false;     // an answer arrived whole (whatever its status)
  int Status = 0;      // the HTTP status, 0 without an answer
  std::string Body;    // the answer's bytes as sent, at most the service's limit
  std::string Error;   // why it failed (plain English), empty when Ok
};

class HttpTransfer {
 public:
  // Dropping a transfer cancels it; it never waits for the worker.
  virtual ~HttpTransfer() = default;
  virtual bool Done() const = 0;
  // The result once Done; before that an empty failure.
  virtual HttpResult Result() const = 0;
};

class HttpService {
 public:
  virtual ~HttpService() = default;
  virtual std::unique_ptr<HttpTransfer> Start(const HttpRequest& request) = 0;
};

// A transfer that is finished from the start (a refusal, a bad address).
class FinishedTransfer final : public HttpTransfer {
 public:
  explicit FinishedTransfer(HttpResult result) : result_(std::move(result)) {}
  bool Done() const override { return true; }
  HttpResult Result() const override { return result_; }

 private:
  HttpResult result_;
};

}  // namespace orin

// TOrinHttp (kind 7): a script's HTTP request. The request runs on the network service's worker
// (scene/model/http_service.h) and is polled once a scene step, so the frame loop never waits.
//
// Properties: file 2, the address (http:// or https://): setting a non-empty one starts a
// request, dropping one still running. Text 50: written, the body to send (not empty: the
// request is a POST of it, else a GET); read, the answer's body once finished (its bytes as the
// server sent them). Finished label 43: queued when the request ends, with two arguments: the
// HTTP status and the answer's body; on failure "0" and the reason (no network allowed, a
// time-out, an answer too large, a refused address …), so a trace shows why. Busy 138: a
// request is running. Stopped 27: no finished label is queued while set (the result is kept).
//
// Without a network service every request fails at once ("the network is not available").
//
// Save record, after the object header: record version (int32, kSaveVersion), address, body to
// send, answer body, finished label, status (int32). A request still running when the game is
// saved is not resumed after a load: the object loads idle with what it had.
#pragma once

#include <memory>
#include <string>

#include "scene/model/http_service.h"
#include "scene/model/orin_object.h"
#include "scene/objects/object_classes.h"

namespace orin {

class TOrinHttp : public TOrinComponent {
 public:
  static constexpr int32_t kSaveVersion = 1;

  TOrinHttp(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinHttp() override;

  uint8_t Kind() const override { return kKindHttp; }
  bool Busy() const { return transfer_ != nullptr; }
  int Status() const { return status_; }
  const std::string& Answer() const { return answer_; }
  void Start(const std::string& url);

  bool Step() override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  void Finish(const HttpResult& result);

  SceneServices services_;
  std::string url_;
  std::string body_;
  std::string answer_;
  std::string finishedLabel_;
  int32_t status_ = 0;
  std::unique_ptr<HttpTransfer> transfer_;
  // A result waits here while the object is stopped.
  std::unique_ptr<HttpResult> pending_;
};

}  // namespace orin

#include "scene/objects/orin_http.h"

#include <vector>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/property_table.h"

namespace orin {

namespace {
constexpr int kPropText = 50;
}  // namespace

TOrinHttp::TOrinHttp(TOrinBaseList* owner, const SceneServices& services)
    : TOrinComponent(owner), services_(services) {}

TOrinHttp::~TOrinHttp() = default;

void TOrinHttp::Start(const std::string& url) {
  transfer_.reset();
  pending_.reset();
  url_ = url;
  if (url.empty()) return;
  answer_.clear();
  status_ = 0;
  HttpRequest request;
  request.Url = url;
  request.Post = !body_.empty();
  request.Body = body_;
  if (services_.Http) {
    transfer_ = services_.Http->Start(request);
  } else {
    HttpResult failed;
    failed.Error = "the network is not available";
    transfer_ = std::make_unique<FinishedTransfer>(failed);
  }
}

bool TOrinHttp::Step() {
  if (transfer_ && transfer_->Done()) {
    pending_ = std::make_unique<HttpResult>(transfer_->Result());
    transfer_.reset();
  }
  if (pending_ && !Stopped()) {
    const HttpResult result = std::move(*pending_);
    pending_.reset();
    Finish(result);
  }
  return false;
}

void TOrinHttp::Finish(const HttpResult& result) {
  status_ = result.Ok ? result.Status : 0;
  answer_ = result.Ok ? result.Body : std::string();
  const std::vector<std::string> args{std::to_string(status_),
                                      result.Ok ? result.Body : FromUtf8(result.Error)};
  QueueEvent(finishedLabel_, kEventMotionFinished, &args, false);
}

void TOrinHttp::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile:
      dest.SetAsStr(url_);
      return;
    case kPropText:
      dest.SetAsStr(answer_);
      return;
    case kPropFinishedLabel:
      dest.SetAsStr(finishedLabel_);
      return;
    case kPropBusy:
      dest.SetAsFlag(Busy() || pending_ != nullptr);
      return;
    default:
      TOrinComponent::GetProp(number, dest);
  }
}

void TOrinHttp::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile:
      Start(value.GetAsStr());
      return;
    case kPropText:
      body_ = value.GetAsStr();
      return;
    case kPropFinishedLabel:
      finishedLabel_ = value.GetAsStr();
      return;
    default:
      TOrinComponent::SetProp(number, value);
  }
}

void TOrinHttp::Save(Stream& s, int version) const {
  TOrinComponent::Save(s, version);
  WriteInt32(s, kSaveVersion);
  WriteString(s, url_);
  WriteString(s, body_);
  WriteString(s, answer_);
  WriteString(s, finishedLabel_);
  WriteInt32(s, status_);
}

void TOrinHttp::Load(Stream& s, int version) {
  TOrinComponent::Load(s, version);
  const int32_t record = ReadInt32(s);
  if (record < 1 || record > kSaveVersion)
    throw Error(Format("network object record of version %d cannot be read", record));
  transfer_.reset();
  pending_.reset();
  url_ = ReadString(s);
  body_ = ReadString(s);
  answer_ = ReadString(s);
  finishedLabel_ = ReadString(s);
  status_ = ReadInt32(s);
}

}  // namespace orin

#include "scene/objects/orin_button.h"

#include "core/error.h"
#include "params/custom_param.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

namespace {

constexpr int kPropHoverFile = 83;
constexpr int kPropDownFile = 84;
constexpr int kPropGroup = 85;
constexpr int kPropAllowNone = 86;
constexpr int kPropToggle = 87;
constexpr int kPropClickedFile = 133;

constexpr uint8_t kKeyEnter = 0x0D;
constexpr uint8_t kKeySpace = 0x20;

}  // namespace

TOrinButton::TOrinButton(TOrinBaseList* owner, const SceneServices& services)
    : TOrinImages(owner, services, kStateCount) {}

TOrinButton::~TOrinButton() = default;

// ---- States

bool TOrinButton::HasPictures(int state) const {
  return state >= 0 && state < kStateCount && (films_[static_cast<size_t>(state)] || !List(state).Empty());
}

void TOrinButton::SetState(int32_t state) {
  if (state < 0 || state >= kStateCount) return;
  if (state != 0 && !HasPictures(state)) return;
  if (state_ == 3) {
    deferred_ = state;
    return;
  }
  if (state == state_) return;
  state_ = state;
  if (state == 3) deferred_ = 0;
  ShowState();
}

void TOrinButton::ShowState() {
  if (state_ < 0) return;
  const auto& film = films_[static_cast<size_t>(state_)];
  // The list of a motion state is empty: entering it drops the last state's picture, and the
  // motion's first frame (in this frame's step, before drawing) shows its own.
  if (!film) {
    DetachMotion();
    ClearMotionImages();
  }
  EnterList(state_);
  if (film) {
    ClearMotionImages();
    AttachMotion(std::make_unique<MotionFilm>(*film), StateFile(state_));
  }
}

void TOrinButton::EndClick() {
  const int32_t next = deferred_;
  state_ = -1;
  SetState(next);
}

bool TOrinButton::LastImageRanOut() {
  if (state_ != 3) return TOrinImages::LastImageRanOut();
  if (FreeWhenFinished()) return true;
  QueueEvent(Label(kEventMotionFinished), kEventMotionFinished, nullptr, false);
  EndClick();
  return false;
}

bool TOrinButton::Step() {
  if (press_ < 0) return true;
  if (!Motion()) return TOrinImages::Step();
  // A click animation that is a motion: the control's step raises event 43 (or reports the
  // button finished); what follows the animation is the button's.
  const bool clicking = state_ == 3 && !Motion()->Finished();
  if (TOrinImages::Step()) return true;
  if (clicking && Motion() && Motion()->Finished()) EndClick();
  return false;
}

const std::string& TOrinButton::StateFile(int state) const {
  if (state <= 0 || state >= kStateCount) return File();
  return stateFiles_[static_cast<size_t>(state)];
}

std::unique_ptr<MotionFilm> TOrinButton::ReadFilm(const std::string& name) const {
  TVrFileManager* files = Owner() ? Owner()->Files() : nullptr;
  if (!files) return nullptr;
  auto film = std::make_unique<MotionFilm>();
  try {
    MemoryStream content;
    files->LoadToStream(content, name);
    content.SetPosition(0);
    film->Read(content);
  } catch (const Error&) {
    // As for the image object's own motion: a missing or damaged file leaves the state empty.
    return nullptr;
  }
  return film;
}

void TOrinButton::SetStateFile(int state, const std::string& file) {
  if (state <= 0 || state >= kStateCount) return;
  auto index = static_cast<size_t>(state);
  if (file == stateFiles_[index]) return;
  stateFiles_[index] = file;
  const FileKind kind = LoadList(state, file);
  films_[index] = kind == FileKind::kMotion ? ReadFilm(file) : nullptr;
  if (state != state_) return;
  if (HasPictures(state)) {
    ShowState();
  } else {
    // The shown state lost its pictures: back to the normal one.
    state_ = -1;
    SetState(0);
  }
}

void TOrinButton::SetFile(const std::string& file) {
  if (file == File()) return;
  TOrinImages::SetFile(file);
  films_[0] = Motion() && KindOfFile(file) == FileKind::kMotion ? std::make_unique<MotionFilm>(Motion()->Film())
                                                                 : nullptr;
  // The image object's file is state 0's; another state keeps showing its own pictures.
  if (state_ > 0) ShowState();
}

// ---- Groups

std::vector<TOrinButton*> TOrinButton::GroupMembers() const {
  std::vector<TOrinButton*> members;
  if (group_ == 0 || !Parent()) return members;
  for (TOrinControl* child : Parent()->Children()) {
    if (child->IsDeleted() || child->Kind() != kKindButton) continue;
    auto* button = static_cast<TOrinButton*>(child);
    if (button->group_ == group_) members.push_back(button);
  }
  return members;
}

void TOrinButton::ShowToggle(bool on) {
  toggle_ = on;
  SetState(on ? 2 : 0);
}

void TOrinButton::Normalise(TOrinButton* changed) {
  const std::vector<TOrinButton*> members = GroupMembers();
  if (members.empty()) return;
  TOrinButton* selected = nullptr;
  for (TOrinButton* b : members)
    if (b->toggle_) {
      selected = b;
      break;
    }
  if (changed && changed->toggle_) selected = changed;
  if (!selected && !(changed && changed->allowNone_)) selected = members.front();
  for (TOrinButton* b : members)
    if (b->toggle_ != (b == selected)) b->ShowToggle(b == selected);
}

void TOrinButton::SetToggle(bool on) {
  if (on && group_ == 0) return;
  ShowToggle(on);
  Normalise(this);
}

void TOrinButton::SetAllowNone(bool allowNone) {
  allowNone_ = allowNone;
  for (TOrinButton* b : GroupMembers()) b->allowNone_ = allowNone;
  Normalise(this);
}

void TOrinButton::SetGroup(int32_t group) {
  group_ = group;
  Normalise(this);
}

// ---- Input

bool TOrinButton::Over(int32_t x, int32_t y) const {
  const Rect r = VisibleRect();
  return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

void TOrinButton::Click() {
  QueueEvent(clickLabel_, kEventFire, nullptr, false);
  if (group_ == 0) {
    SetState(3);
    if (!HasPictures(3) && FreeWhenFinished()) press_ = -1;
  } else if (allowNone_ || !toggle_) {
    SetToggle(!toggle_);
  }
}

void TOrinButton::MouseDown(MouseButton button, int32_t x, int32_t y) {
  if (button == MouseButton::kLeft && (InputMode() == 0 || InputMode() == 4)) {
    if (!Stopped() && state_ != 3) {
      press_ = 1;
      SetState(2);
    }
    return;
  }
  TOrinImages::MouseDown(button, x, y);
}

void TOrinButton::MouseUp(MouseButton button, int32_t x, int32_t y) {
  if (button == MouseButton::kLeft) {
    if (press_ == 1 && Over(x, y)) Click();
    if (press_ != -1) press_ = 0;
    if (group_ == 0 && state_ != 3) SetState(0);
  }
  TOrinImages::MouseUp(button, x, y);
}

void TOrinButton::MouseMove(int32_t x, int32_t y) {
  if (press_ == 0)
    SetState(toggle_ ? 2 : Stopped() ? 0 : 1);
  else
    SetState(!Over(x, y) && !toggle_ ? 0 : 2);
  TOrinImages::MouseMove(x, y);
}

void TOrinButton::MouseLeave() {
  // During the click animation the request waits for its end: a pointer that left meanwhile
  // must not find the button showing its hover picture afterwards.
  SetState(toggle_ ? 2 : 0);
  TOrinImages::MouseLeave();
}

void TOrinButton::KeyRepeat() {
  const TOrinBaseList* owner = Owner();
  if (owner && !Stopped() && !EventsBlocked() && (owner->KeyRepeat(kKeyEnter) || owner->KeyRepeat(kKeySpace)))
    Click();
  TOrinImages::KeyRepeat();
}

// ---- Properties

const std::string& TOrinButton::Label(int code) const {
  return code == kEventFire ? clickLabel_ : TOrinImages::Label(code);
}

void TOrinButton::SetLabel(int code, const std::string& label) {
  if (code == kEventFire)
    clickLabel_ = label;
  else
    TOrinImages::SetLabel(code, label);
}

void TOrinButton::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropHoverFile:
      dest.SetAsStr(stateFiles_[1]);
      return;
    case kPropDownFile:
      dest.SetAsStr(stateFiles_[2]);
      return;
    case kPropClickedFile:
      dest.SetAsStr(stateFiles_[3]);
      return;
    case kPropGroup:
      dest.SetAsInt(group_);
      return;
    case kPropAllowNone:
      dest.SetAsFlag(allowNone_);
      return;
    case kPropToggle:
      dest.SetAsFlag(toggle_);
      return;
    default:
      TOrinImages::GetProp(number, dest);
  }
}

void TOrinButton::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropHoverFile:
      SetStateFile(1, value.GetAsStr());
      return;
    case kPropDownFile:
      SetStateFile(2, value.GetAsStr());
      return;
    case kPropClickedFile:
      SetStateFile(3, value.GetAsStr());
      return;
    case kPropGroup:
      SetGroup(value.GetAsInt());
      return;
    case kPropAllowNone:
      SetAllowNone(value.GetAsFlag());
      return;
    case kPropToggle:
      SetToggle(value.GetAsFlag());
      return;
    default:
      TOrinImages::SetProp(number, value);
  }
}

// ---- Save and load

void TOrinButton::Save(Stream& s, int version) const {
  TOrinImages::Save(s, version);
  WriteString(s, stateFiles_[1]);
  WriteString(s, stateFiles_[2]);
  WriteInt32(s, group_);
  WriteByte(s, toggle_);
  WriteByte(s, allowNone_);
  WriteString(s, clickLabel_);
  if (version >= 104) {
    WriteString(s, extra_);
    WriteString(s, stateFiles_[3]);
  }
}

void TOrinButton::Load(Stream& s, int version) {
  TOrinImages::Load(s, version);
  std::array<std::string, kStateCount> files;
  files[1] = ReadString(s);
  files[2] = ReadString(s);
  group_ = ReadInt32(s);
  const bool toggle = ReadByte(s) != 0;
  allowNone_ = ReadByte(s) != 0;
  clickLabel_ = ReadString(s);
  if (version >= 104) {
    extra_ = ReadString(s);
    files[3] = ReadString(s);
  }
  for (int state = 1; state < kStateCount; ++state) {
    stateFiles_[static_cast<size_t>(state)].clear();
    SetStateFile(state, files[static_cast<size_t>(state)]);
  }
  press_ = 0;
  toggle_ = false;
  state_ = -1;
  deferred_ = 0;
  SetToggle(toggle);
  if (state_ < 0) SetState(0);
  RestoreSavedIndex();
  if ((Index() < 0 || Index() >= Images().Count()) && Images().Count() > 0) ShowImage(0);
}

}  // namespace orin

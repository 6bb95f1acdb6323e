#include "media/cdda_manager.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "core/text.h"
#include "media/media_engine.h"
#include "resources/file_manager.h"

namespace orin {
using namespace literals;

TCddaItem::TCddaItem(TCddaManager& manager, std::string name, int track, std::shared_ptr<Playback> playback,
                     std::string failure)
    : TDMediaItem(manager, std::move(name)), cdda_(manager), track_(track), playback_(std::move(playback)) {
  SetFailure(std::move(failure));
}

TCddaItem::~TCddaItem() {
  if (cdda_.current_ == this) cdda_.current_ = nullptr;
  if (playback_) cdda_.engine_.RemoveSource(playback_.get());
}

int TCddaItem::TrackOf(std::string_view name) {
  if (name.size() <= 3) return -1;
  std::string_view digits = name.substr(3);
  int value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || value < 0) return -1;
  return value;
}

void TCddaItem::SetAutoRepeat(bool value) {
  autoRepeat_ = value;
  if (playback_) playback_->SetAutoRepeat(value);
}

void TCddaItem::SetVol(int32_t vol) {
  vol_ = vol;
  if (playback_) playback_->SetLinearScale((std::max(vol, -5000) + 5000) / 5000.0);
}

int32_t TCddaItem::GetPosition() {
  if (cdda_.current_ != this || !playback_) return savedSeconds_ * 1000;
  if (paused_) return savedSeconds_ * 1000;
  return playback_->GetPosition() / 1000 * 1000;
}

void TCddaItem::SetPosition(int32_t ms) {
  savedSeconds_ = std::max(ms, 0) / 1000;
  if (cdda_.current_ == this && playback_ && !paused_ && playback_->IsPlaying())
    playback_->SetPosition(savedSeconds_ * 1000);
}

int32_t TCddaItem::GetLen() {
  if (cachedLen_ < 0) cachedLen_ = playback_ ? playback_->GetLen() / 1000 * 1000 : 0;
  return cachedLen_;
}

bool TCddaItem::IsEnd() { return cdda_.current_ == this && playback_ && playback_->IsEnd(); }
bool TCddaItem::IsPlaying() { return cdda_.current_ == this && playback_ && playback_->IsPlaying() && !paused_; }
bool TCddaItem::IsPaused() { return paused_; }

void TCddaItem::Play() {
  if (!Manager().Enabled()) return;
  if (TCddaItem* current = cdda_.current_; current && current != this && current->playback_) {
    current->playback_->Pause();
  }
  cdda_.current_ = this;
  paused_ = false;
  if (!playback_) return;
  playback_->Pause();
  playback_->SetPosition(savedSeconds_ * 1000);
  SetVol(vol_);
  playback_->Play();
}

void TCddaItem::Pause() {
  if (cdda_.current_ == this && playback_ && !paused_) savedSeconds_ = std::max(playback_->GetPosition(), 0) / 1000;
  paused_ = true;
  if (playback_) playback_->Pause();
}

TCddaManager::TCddaManager(MediaEngine& engine, TVrFileManager& files)
    : TDMediaManager(MediaKind::kCdda), engine_(engine), files_(files) {}

TCddaManager::~TCddaManager() { Clear(); }

std::string TCddaManager::FindTrackFile(int track) {
  if (track < 0 || files_.BaseFolder.empty()) return {};
  static const char* const kExtensions[] = {"ogg", "flac", "wav", "mp3", "opus", "wma"};
  char names[4][32];
  std::snprintf(names[0], sizeof names[0], "track%02d", track);
  std::snprintf(names[1], sizeof names[1], "track%d", track);
  std::snprintf(names[2], sizeof names[2], "cdda\\%02d", track);
  std::snprintf(names[3], sizeof names[3], "cdda\\track%02d", track);
  for (const char* stem : names) {
    for (const char* ext : kExtensions) {
      std::string game = std::string(stem) + "." + ext;
      if (auto found = files_.FileSystem().FindFile(files_.BaseFolder, game)) return *found;
    }
  }
  return {};
}

std::unique_ptr<TDMediaItem> TCddaManager::MakeItem(std::string_view name) {
  std::string label(name);
  int track = TCddaItem::TrackOf(name);
  if (track < 0) {
    std::string why = label + ": not a CD track name";
    engine_.Trace(why);
    return std::make_unique<TCddaItem>(*this, label, track, nullptr, why);
  }
  std::string path = FindTrackFile(track);
  if (path.empty()) {
    std::string why = label + ": no ripped file for this track in the game folder (track" +
                      std::to_string(track) + ".ogg and the like)";
    engine_.Trace(why);
    return std::make_unique<TCddaItem>(*this, label, track, nullptr, why);
  }
  auto playback = engine_.CreatePlaybackOfHostFile(path, label);
  std::string failure = playback->Failure();
  return std::make_unique<TCddaItem>(*this, label, track, std::move(playback), failure);
}

}  // namespace orin

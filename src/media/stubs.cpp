// Placeholder bodies until the engine lands.
#include "media/cdda_manager.h"
#include "media/media_engine.h"
#include "media/media_set.h"
#include "media/midi_manager.h"
#include "media/ogg_manager.h"
#include "media/video_manager.h"
#include "media/wav_out.h"
#include "media/wmp_manager.h"
#include "media/audio_output.h"
#include "resources/file_manager.h"

namespace orin {

TOggManager::TOggManager(MediaEngine& engine, const MediaSettings& settings)
    : TDMediaManager(MediaKind::kOgg), engine_(engine), settings_(settings) {}
TOggManager::~TOggManager() { Clear(); }
std::unique_ptr<TDMediaItem> TOggManager::MakeItem(std::string_view name) {
  return std::make_unique<TMidiItem>(*this, std::string(name));
}
TWmpManager::~TWmpManager() { Clear(); }
std::unique_ptr<TDMediaItem> TWmpManager::MakeItem(std::string_view name) {
  return std::make_unique<TMidiItem>(*this, std::string(name));
}
TCddaManager::TCddaManager(MediaEngine& engine, TVrFileManager& files)
    : TDMediaManager(MediaKind::kCdda), engine_(engine), files_(files) {}
TCddaManager::~TCddaManager() { Clear(); }
std::unique_ptr<TDMediaItem> TCddaManager::MakeItem(std::string_view name) {
  return std::make_unique<TMidiItem>(*this, std::string(name));
}
TWavOut::~TWavOut() = default;
MediaEngine::MediaEngine(TVrFileManager& files, std::unique_ptr<AudioOutput> output, const MediaSettings&, Log* log)
    : files_(files), log_(log), output_(std::move(output)) {}
MediaEngine::~MediaEngine() = default;

MediaSet::MediaSet(TVrFileManager& files, std::unique_ptr<AudioOutput> output, MediaSettings settings, Log* log)
    : settings_(settings) {
  engine_ = std::make_unique<MediaEngine>(files, std::move(output), settings_, log);
  video_ = std::make_unique<TVideoManager>();
  wmp_ = std::make_unique<TWmpManager>(*engine_);
  ogg_ = std::make_unique<TOggManager>(*engine_, settings_);
  cdda_ = std::make_unique<TCddaManager>(*engine_, files);
  midi_ = std::make_unique<TMidiManager>();
}
MediaSet::~MediaSet() = default;
TDMediaManager* MediaSet::ManagerFor(std::string_view) { return nullptr; }
TDMediaItem* MediaSet::Open(std::string_view) { return nullptr; }
void MediaSet::Suspend() {}
void MediaSet::Resume() {}
void MediaSet::SetSoundEnabled(bool) {}
void MediaSet::Update(uint32_t) {}
bool MediaSet::HasDevice() const { return false; }

}  // namespace orin

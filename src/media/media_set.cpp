#include "media/media_set.h"

#include <cctype>

#include "media/audio_output.h"
#include "media/cdda_manager.h"
#include "media/media_engine.h"
#include "media/midi_manager.h"
#include "media/ogg_manager.h"
#include "media/video_manager.h"
#include "media/wav_out.h"
#include "media/wmp_manager.h"
#include "resources/host_fs.h"

namespace orin {

MediaSet::MediaSet(TVrFileManager& files, std::unique_ptr<AudioOutput> output, MediaSettings settings, Log* log)
    : settings_(settings) {
  engine_ = std::make_unique<MediaEngine>(files, std::move(output), settings_, log);
  video_ = std::make_unique<TVideoManager>(*engine_, settings_.DecodeThread);
  wmp_ = std::make_unique<TWmpManager>(*engine_);
  ogg_ = std::make_unique<TOggManager>(*engine_, settings_);
  cdda_ = std::make_unique<TCddaManager>(*engine_, files);
  midi_ = std::make_unique<TMidiManager>(*engine_, settings_.DecodeThread);
}

MediaSet::~MediaSet() {
  video_.reset();
  wmp_.reset();
  ogg_.reset();
  cdda_.reset();
  midi_.reset();
  engine_.reset();
}

TDMediaManager* MediaSet::ManagerFor(std::string_view name) {
  std::string ext = ExtensionOf(name);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".mid" || ext == ".sgt") return midi_.get();
  if (ext == ".wma" || ext == ".asf" || ext == ".wmv") return wmp_.get();
  if (ext == ".ogg" || ext == ".wav") return ogg_.get();
  if (name.substr(0, 3) == "CD_") return cdda_.get();
  return nullptr;
}

TDMediaItem* MediaSet::Open(std::string_view name) {
  TDMediaManager* manager = ManagerFor(name);
  if (!manager) {
    engine_->Trace(std::string(name) + ": not a sound the player knows (by its extension)");
    return nullptr;
  }
  return manager->Add(name);
}

void MediaSet::Suspend() {
  wmp_->Suspend();
  ogg_->Suspend();
  cdda_->Suspend();
  midi_->Suspend();
  video_->Suspend();
}

void MediaSet::Resume() {
  wmp_->Resume();
  ogg_->Resume();
  cdda_->Resume();
  midi_->Resume();
  video_->Resume();
}

void MediaSet::SetSoundEnabled(bool on) {
  wmp_->SetEnabled(on);
  ogg_->SetEnabled(on);
  cdda_->SetEnabled(on);
  midi_->SetEnabled(on);
}

void MediaSet::Update(uint32_t deltaMs) { engine_->Update(deltaMs); }

bool MediaSet::HasDevice() const { return engine_->HasDevice(); }

}  // namespace orin

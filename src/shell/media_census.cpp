#include "shell/media_census.h"

#include "media/cdda_manager.h"
#include "media/media_item.h"
#include "media/media_set.h"
#include "media/midi_manager.h"
#include "media/ogg_manager.h"
#include "media/wmp_manager.h"

namespace orin {

MediaCensus TakeCensus(MediaSet& media) {
  MediaCensus census;
  auto count = [&](TDMediaManager& manager, bool voices) {
    for (int i = 0; i < manager.Count(); ++i) {
      TDMediaItem* item = manager.Items(i);
      if (item == nullptr || !item->IsPlaying()) continue;
      ++census.Playing;
      if (voices && !item->GetAutoRepeat()) census.VoiceLike = true;
    }
  };
  count(media.Ogg(), true);
  count(media.Wmp(), true);
  count(media.Cdda(), false);
  count(media.Midi(), false);
  return census;
}

}  // namespace orin

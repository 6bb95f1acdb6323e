// What of the game's sound plays now, for the player's extras: how many items play (music,
// effects, voices, CD tracks, MIDI) and whether one of them looks like a voice line — a sound of
// the kinds voices come in (Ogg, WAV, WMA) that plays once rather than looping.
#pragma once

namespace orin {

class MediaSet;

struct MediaCensus {
  int Playing = 0;
  bool VoiceLike = false;
};

MediaCensus TakeCensus(MediaSet& media);

}  // namespace orin

// MediaWindowHooks: what the media managers do when the window changes under them. The shell
// calls these; the media layer implements them once it has managers (MIDI sequencer, video).
//
//   * Suspend / Resume: the application lost or regained the foreground (also around a modal
//     loop). Each manager pauses what it plays and picks it up again where it was.
//   * BeforeDisplaySwitch / AfterDisplaySwitch: around a switch between the window and full
//     screen. Before: a loaded MIDI sequence remembers whether it plays and its position, stops,
//     and the MIDI device closes; videos prepare (let go of what they draw into). After: the MIDI
//     device opens again and a sequence that played resumes from its position; videos resume.
//     After is called whether the switch succeeded or not.
#pragma once

namespace orin {

class MediaWindowHooks {
 public:
  virtual ~MediaWindowHooks() = default;
  virtual void Suspend() = 0;
  virtual void Resume() = 0;
  virtual void BeforeDisplaySwitch(bool toFullScreen) = 0;
  virtual void AfterDisplaySwitch(bool fullScreen) = 0;
};

}  // namespace orin

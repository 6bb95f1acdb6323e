// GameContext: the running game as the project, the interpreter and the commands see it — the
// variables, the scene, the files, the tables, the records of the message history, the shell's
// clock and closing flag, and the main window. The player's host implements it over the objects
// it owns; tests implement it over the pieces they build.
//
// Texts are cp932; paths of the host are byte strings with "/".
#pragma once

#include <cstdint>
#include <string>

#include "core/log.h"
#include "script/message_box.h"

namespace orin {

class CreationHooks;
class SaveSections;
class TDBManager;
class TOrinBaseList;
class TParamCollection;
class TransitionFactory;
class TVrFileManager;

// Receives the interpreter's trace lines ("%.8x : %s(%d)").
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Write(const std::string& cp932Line) = 0;
};

class GameContext {
 public:
  virtual ~GameContext() = default;

  virtual TParamCollection& Vars() = 0;
  virtual TOrinBaseList& Scene() = 0;
  virtual TVrFileManager& Files() = 0;
  virtual TDBManager& Tables() = 0;
  // The history, the read list and the image collection as saves and resets see them.
  virtual SaveSections& Sections() = 0;
  // Screen transitions of the flip; null while the player has none.
  virtual TransitionFactory* Transitions() { return nullptr; }
  // What object classes add to their creation by a command; null for nothing.
  virtual CreationHooks* Creation() { return nullptr; }
  // Where trace lines go; null for nowhere.
  virtual TraceSink* Trace() { return nullptr; }
  // The player's log; the null log unless the runner gives one.
  virtual Log& Logger() {
    static Log quiet;  // level off: it keeps nothing, so sharing it shares no state
    return quiet;
  }

  // --- The shell ---
  // The running millisecond clock (the sum of all frame deltas) and this frame's delta.
  virtual int32_t RunningClock() const = 0;
  virtual int32_t FrameDelta() const = 0;
  // While set no frame runs and the interpreter stops.
  virtual bool Closing() const = 0;
  virtual void SetClosing(bool closing) = 0;
  // Called every few hundred commands while one run of the interpreter goes on without yielding.
  // The shell looks at its input and at the stop signals here (at a bounded rate, on this thread)
  // and sets the closing flag when the game must end, which stops the run. Returns how long the
  // run has gone on in real milliseconds (0: not measured).
  virtual uint32_t Busy() { return 0; }
  // Asks the main window to close: the game ends after this frame.
  virtual void PostClose() = 0;
  // The project's title becomes the window caption and the application title.
  virtual void SetTitle(const std::string& title) = 0;
  virtual MessageResult ShowMessage(const std::string& caption, const std::string& text,
                                    MessageButtons buttons, MessageIcon icon) = 0;

  // --- Where the game lives ---
  // The host folder that plays the Windows player's own folder ("/" at the end).
  virtual std::string GameFolder() = 0;
  // The host path of "save.dat".
  virtual std::string SaveFilePath() = 0;
};

}  // namespace orin

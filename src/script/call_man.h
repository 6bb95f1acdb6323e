// TCallMan: the interpreter. It owns the current page and command index, a cache of loaded pages,
// the call stack (TStack frames) and the state that lets events of the scene (clicks, timers,
// keys) interrupt the main script and each other.
//
// Cooperative and frame-based: Run, once per frame, executes commands until one yields. The main
// script yields after every command whose chain flag is clear; an event handler runs until it
// returns or reaches a blocking command. A waiting command stays on its index and is executed
// again in the next frame. Errors inside a command are swallowed per command.
//
// Run loop modes: 0 main script (starts an event of level 1 first, else steps once); 1 handler of
// level 1; 2 handler blocked (nested events may start, else the blocked command runs again);
// 3 nested handler. Events start only between commands and never while the started command is
// uninterruptible.
//
// Trace lines (when a sink is given): "%.8x : %s(%d)" (running clock, page name, command id) for
// each command entered, once per command in a row; "%.8x : <Event>%s(%d)" when an event starts;
// "%.8x : -- %s" for notes: a kind that does nothing yet, a command that failed (with its
// message), an event dropped because its page exists nowhere, a run that stopped yielding.
// The same failures go to the log's script channel, a command that keeps failing the same way
// only once in a row.
//
// Bounds the original never had: a call chain deeper than kMaxCallDepth frames is a runaway (a
// page that calls itself without end would eat memory until the process dies), so the Call that
// would go deeper fails like any failing command; and an event whose page exists nowhere (not in
// the game, on no disc of the project's map) is dropped instead of holding up every event behind
// it for good. An event whose page lies on a disc that is not inserted still waits.
//
// Stream form (game saves; strings int32 length + bytes, string arrays int32 count + strings):
//   interpreter: page name; index; chain (byte); started (byte); mode; sender name (empty when
//     none or gone); arguments; the spare frame; frame count; the frames, bottom first; level
//     (from version 116, else 2); then, when started and the index is inside the page, the
//     current command's state record.
//   frame: page name; index; started (byte); chain (byte); result variable name; arguments;
//     sender name; state size and bytes; return value type (byte, 0 none) and the value record.
// Readers check every count and size against the bytes left and throw Error on damage.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "resources/stream.h"

namespace orin {

class Error;
class GameContext;
class PageMessages;
class TCommand;
class TCustomParam;
class TOrinBaseList;
class TOrinObject;
class TPage;
class TParamCollection;
struct TTimerData;

// What the interpreter asks of the project.
class CallManOwner {
 public:
  virtual ~CallManOwner() = default;
  // Whether a page (or any game file) can be opened now; may ask for a disc.
  virtual bool FileAvailable(const std::string& name) = 0;
  // A game save or load at the end of the frame.
  virtual void RequestSave(int32_t slot, const std::string& page, int32_t index,
                           const std::string& caption) = 0;
  virtual void RequestLoad(int32_t slot) = 0;
  // Told about pages too old to run; null for nobody.
  virtual PageMessages* Messages() { return nullptr; }
  // Whether a file that is not available exists nowhere, so that it will never come: not in the
  // game and on no disc of the project's map. The default says it may still come.
  virtual bool FileMissing(const std::string&) { return false; }
};

// One call frame: where to return and what the caller had.
struct TStack {
  std::string PageName;
  int32_t Index = 0;
  bool Started = false;
  std::string ResultName;
  std::vector<std::string> Args;
  uint64_t Sender = 0;  // the object's serial in the scene, 0 for none
  bool Chain = false;
  std::unique_ptr<MemoryStream> State;
  std::unique_ptr<TCustomParam> ReturnValue;

  TStack();
  ~TStack();
  TStack(TStack&&) noexcept;
  TStack& operator=(TStack&&) noexcept;
  void Clear();
};

class TCallMan {
 public:
  static constexpr int kPageCacheLimit = 10;
  // Far deeper than any real game calls; a deeper chain is a page calling itself without end.
  static constexpr int32_t kMaxCallDepth = 10000;
  // How many steps of one run go between two calls of GameContext::Busy.
  static constexpr int kBusyEvery = 1024;
  // A run this long (real milliseconds) without yielding is said once in the trace and the log.
  static constexpr uint32_t kRunawayNoticeMs = 1000;
  // Step results.
  static constexpr int kStepNormal = 0;
  static constexpr int kStepBlocking = 2;
  static constexpr int kStepReturnedToMain = 1;
  static constexpr int kStepReturnedToHandler = -1;

  TCallMan(GameContext& game, CallManOwner& owner);
  ~TCallMan();
  TCallMan(const TCallMan&) = delete;
  TCallMan& operator=(const TCallMan&) = delete;

  GameContext& Game() { return game_; }
  CallManOwner& Owner() { return owner_; }
  TParamCollection& Vars();
  TOrinBaseList& Scene();

  // --- Pages ---
  // Loads the page, index 0, not started, no arguments, mode 0, empty stack, no sender; drops the
  // events of levels 1 to the current level; level 2. Returns the page.
  TPage* Start(const std::string& name);
  // The page through the cache: a cached page of exactly that name moves to the front; a new one
  // is loaded and put in front, then the cache drops its oldest pages down to the limit, never
  // the current page. A page that fails to load propagates its error and is not kept.
  TPage* LoadPage(const std::string& name);
  const std::list<std::unique_ptr<TPage>>& Pages() const { return pages_; }

  // --- Running ---
  // One frame's run loop. Does nothing while the closing flag is set.
  bool Run();
  // One command of the current page and what follows from it: kStepNormal, kStepBlocking, or,
  // after a return from a call, kStepReturnedToMain (into a frame without sender) or
  // kStepReturnedToHandler.
  int Step();
  // Starts the first waiting event as a call at that level; false when none could start.
  bool StartEvent(int32_t level);

  // --- State ---
  TPage* CurrentPage() const { return page_; }
  int32_t Index() const { return index_; }
  bool Started() const { return started_; }
  bool Chain() const { return chain_; }
  void SetChain(bool chain) { chain_ = chain; }
  int32_t Mode() const { return mode_; }
  int32_t Level() const { return level_; }
  // The command at the current index, or null.
  TCommand* CurrentCommand() const;
  // Goes on at index of page, the command not started yet.
  void SetPosition(TPage* page, int32_t index) {
    page_ = page;
    index_ = index;
    started_ = false;
  }

  const std::vector<std::string>& Args() const { return args_; }
  void SetArgs(std::vector<std::string> args) { args_ = std::move(args); }
  // Argument i of the current call; empty outside 0 ... count - 1.
  std::string Arg(int i) const;
  uint64_t Sender() const { return sender_; }
  // The sender's name while it exists; empty without sender, in the main script, or when gone.
  std::string SenderName();
  // The live object of a serial, or null.
  TOrinObject* LiveObject(uint64_t serial) const;

  // --- Call stack ---
  int32_t StackCount() const { return static_cast<int32_t>(frames_.size()); }
  TStack& Frame(int32_t i) { return *frames_[static_cast<size_t>(i)]; }
  std::vector<std::unique_ptr<TStack>>& Frames() { return frames_; }
  const TStack& Spare() const { return spare_; }
  // Pushes a frame; the variable collection's current frame follows the stack count.
  void Push(std::unique_ptr<TStack> frame);
  // A frame that returns to the current position (page, index, started, arguments, sender,
  // chain); the started command's state is saved into it when saveState is set.
  std::unique_ptr<TStack> FrameOfCurrent(bool saveState);
  // Removes stack entry index (0 = the oldest).
  void DeleteStackEntry(int32_t index);
  // The top frame's return value (@Result), or null.
  TCustomParam* ReturnValue() const;
  // The variable collection's current frame := the stack count.
  void SyncCurrentFrame();

  // --- Saves ---
  void Save(Stream& s) const;
  // Replaces page, index, stack, level and the current command's state.
  void Load(Stream& s, int version);

  // --- Trace and log ---
  void TraceNote(const std::string& text);
  // A note in the trace and a warning in the log's script channel.
  void Report(const std::string& text);
  // A page a jump or call wanted is not available: a warning in the log's files channel, once in
  // a row for the same page.
  void ReportUnavailable(const std::string& pageName);

 private:
  void ExecuteOne(TPage& page, TPage*& pageRef, bool& blocking, bool& started, int32_t& index);
  void ReturnFromCall();
  void TraceCommand(const TPage& page, const TCommand& command, const char* prefix);
  void CommandFailed(const TPage& page, const TCommand& command, const Error& error);
  // Takes out an event that can never run, saying why.
  void DropEvent(TTimerData& event, const std::string& why);
  void NoticeBusy();
  void SaveFrame(Stream& s, const TStack& frame) const;
  void LoadFrame(Stream& s, TStack& frame, int version);

  GameContext& game_;
  CallManOwner& owner_;
  std::list<std::unique_ptr<TPage>> pages_;  // most recently used first
  TPage* page_ = nullptr;
  int32_t index_ = 0;
  bool chain_ = false;
  std::vector<std::unique_ptr<TStack>> frames_;
  TStack spare_;  // the buffer of the last pop
  bool started_ = false;
  std::vector<std::string> args_;
  int32_t mode_ = 0;
  uint64_t sender_ = 0;
  int32_t level_ = 2;
  const TCommand* lastTraced_ = nullptr;
  // The last failure logged, so that a command failing in a loop is logged once.
  const TCommand* lastFailed_ = nullptr;
  std::string lastFailure_;
  std::string lastUnavailable_;
  int busyCountdown_ = kBusyEvery;
  bool busyNoticed_ = false;
};

}  // namespace orin

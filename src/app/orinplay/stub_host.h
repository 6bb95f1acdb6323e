// StubGameHost: the game as far as orinplay can run it before the script engine and the scene
// are joined to the window. It reads the project file for the title, the screen size and frame
// pacing, runs frames that do nothing and shows a black screen.
#pragma once

#include <cstdint>
#include <string>

#include "resources/file_manager.h"
#include "resources/temp_folder.h"
#include "shell/game_host.h"
#include "shell/pixels.h"
#include "shell/shell_state.h"

namespace orin::play {

class StubGameHost final : public GameHost {
 public:
  StubGameHost(TVrFileManager& files, PendingDeletes& pending, ShellState& state, TraceSink* trace)
      : files_(files), pending_(pending), state_(state), trace_(trace) {}

  void Initialise(const GameSettings& settings, MainWindow& window) override;
  void Close() override {}

  bool HasProject() const override { return hasProject_; }
  std::string Title() const override { return title_; }
  int ScreenWidth() const override { return width_; }
  int ScreenHeight() const override { return height_; }
  bool FramePacing() const override { return pacing_; }

  void DeletePendingFiles() override { pending_.DeletePendingFiles(); }
  void SceneInputStep() override {}
  void RunInterpreter() override {}
  void SceneStep() override {}
  bool EndOfFrame() override { return false; }
  DrawnFrame Draw() override;
  void FramePresented() override { firstDraw_ = false; }

  void KeyDown(int) override {}
  void KeyUp(int) override {}
  void MouseDown(MouseButton, int, int) override {}
  void MouseUp(MouseButton, int, int) override {}
  void MouseMove(int, int) override {}
  void Wheel(bool) override {}
  void Deactivated() override {}
  void Activated() override {}

  TraceSink* Trace() const { return trace_; }

 private:
  TVrFileManager& files_;
  PendingDeletes& pending_;
  ShellState& state_;
  TraceSink* trace_;
  bool hasProject_ = false;
  std::string title_;
  int width_ = 0;
  int height_ = 0;
  bool pacing_ = false;
  bool firstDraw_ = true;
  PixelBuffer backBuffer_;
};

}  // namespace orin::play

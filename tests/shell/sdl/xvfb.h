// A virtual X server for the tests of the real SDL window: Xvfb started on a free display
// (-displayfd), DISPLAY pointed at it, stopped again with the test. Where Xvfb is missing or does
// not start, Ok() is false and the test skips.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace orin::test {

class VirtualDisplay {
 public:
  VirtualDisplay(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const int devnull = open("/dev/null", O_RDWR);
      if (devnull >= 0) {
        dup2(devnull, 1);
        dup2(devnull, 2);
      }
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
      close(fds[0]);
      return;
    }
    // Xvfb writes the display number once it accepts clients; EOF means it failed.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return;
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    // SDL's own renderer: no GL driver is loaded, so a sanitizer build sees no memory the
    // driver keeps after it is unloaded, and machines without GL run the same paths.
    setenv("SDL_RENDER_DRIVER", "software", 1);
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_RENDER_DRIVER");
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool Ok() const { return !display_.empty(); }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace orin::test

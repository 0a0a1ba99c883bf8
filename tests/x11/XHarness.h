#pragma once

// Runs the real program under an X server of its own (Xvfb) and drives it with real X input
// (xdotool): the windows it shows, their titles and their pixels are what a user would see.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay; // Xlib's Display; Xlib's macros stay out of the tests

namespace qv::x11test {

using std::chrono::milliseconds;

// Where `name` is found on PATH; empty when it is not.
std::string FindInPath(const std::string& name);

// This process's environment with the given NAME=value entries set (an entry "NAME" alone
// removes the variable).
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes);

// Runs a program to its end. `ok` when it exited with 0 within the time given; the output is
// stdout and stderr together.
struct RunResult {
  bool ok = false;
  std::string output;
};
RunResult RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   milliseconds timeout);

// A program started in the background, its output going to `log`. It is ended (TERM, then KILL)
// when the object goes, so a failed assertion leaves nothing running.
class Child {
public:
  // Descriptors that are not close-on-exec are passed on.
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
        const std::filesystem::path& log);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Running();
  void Stop();

private:
  pid_t pid_ = -1;
};

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct TopWindow {
  unsigned long id = 0;
  std::string title;
  Rect rect; // on the screen
};

// Pixels as 0xRRGGBB.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
  Rect all() const { return {0, 0, width, height}; }
  bool operator==(const Image&) const = default;
};

int Luminance(std::uint32_t rgb);
// Pixels in `area` that differ, leaving out those in `except` (a window in front).
long CountDifferences(const Image& a, const Image& b, const Rect& area,
                      const std::optional<Rect>& except = std::nullopt);
// The smallest rectangle holding every pixel in `area` that differs; none when none does.
std::optional<Rect> DifferenceBounds(const Image& a, const Image& b, const Rect& area);
long CountDark(const Image& image, const Rect& area, int belowLuminance);

// Polls `done` until it holds or `timeout` has passed; says whether it held.
bool WaitFor(const std::function<bool()>& done, milliseconds timeout);

// An Xvfb on a display number of its own (-displayfd), with a connection to it for looking at
// windows and pixels. Input goes through xdotool, as real key and button events (XTEST).
class XServer {
public:
  explicit XServer(const std::filesystem::path& logDir);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& display() const { return display_; }
  // The environment for a program on this display.
  std::vector<std::string> Environment(std::vector<std::string> changes = {}) const;

  // The mapped top-level windows, bottom to top.
  std::vector<TopWindow> Windows();
  Image Grab(const Rect& area);
  // Throws with xdotool's output when it fails.
  void Xdotool(const std::vector<std::string>& args);

private:
  std::optional<Child> xvfb_;
  std::string display_;
  _XDisplay* x_ = nullptr;
};

} // namespace qv::x11test

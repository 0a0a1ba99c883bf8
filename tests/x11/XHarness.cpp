#include "XHarness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qv::x11test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr milliseconds kPollInterval{40};

class CStrings {
public:
  explicit CStrings(const std::vector<std::string>& strings) {
    for (const std::string& s : strings)
      pointers_.push_back(const_cast<char*>(s.c_str()));
    pointers_.push_back(nullptr);
  }
  char** get() { return pointers_.data(); }

private:
  std::vector<char*> pointers_;
};

// Starts argv[0], found on PATH, with `env`; its output goes to `out`. It dies with this process:
// a case that ctest ends for taking too long leaves no X server or program behind.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int out) {
  CStrings args(argv);
  CStrings envp(env);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
      _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execvpe(args.get()[0], args.get(), envp.get());
    _exit(127);
  }
  const int error = errno;
  if (in >= 0)
    close(in);
  if (pid < 0)
    throw std::runtime_error("cannot start " + argv.at(0) + ": " + std::strerror(error));
  return pid;
}

// Waits for the child to end; false when it has not within `timeout`.
bool Reap(pid_t pid, milliseconds timeout, int* status) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR))
      return true;
    if (Clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
}

// Windows vanish while they are looked at (a closing menu): such errors are expected.
int IgnoreXErrors(Display*, XErrorEvent*) {
  return 0;
}

std::string Property(Display* x, Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(x, window, property, 0, 1024, False, AnyPropertyType, &type, &format,
                         &count, &after, &data) == Success &&
      data) {
    if (format == 8)
      text.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  return text;
}

} // namespace

std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, end - start);
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes) {
  std::vector<std::string> env;
  const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const bool changed = std::any_of(changes.begin(), changes.end(), [&](const std::string& c) {
      return nameOf(c) == nameOf(entry);
    });
    if (!changed)
      env.push_back(entry);
  }
  for (const std::string& change : changes) {
    if (change.find('=') != std::string::npos)
      env.push_back(change);
  }
  return env;
}

RunResult RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   milliseconds timeout) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_t pid = -1;
  try {
    pid = Spawn(argv, env, out[1]);
  } catch (...) {
    close(out[0]);
    close(out[1]);
    throw;
  }
  close(out[1]);

  RunResult result;
  const auto deadline = Clock::now() + timeout;
  bool timedOut = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd fd{out[0], POLLIN, 0};
    const int ready = poll(&fd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      continue;
    char buffer[4096];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  int status = 0;
  if (timedOut || !Reap(pid,
                        std::chrono::duration_cast<milliseconds>(
                            std::max(deadline - Clock::now(), Clock::duration::zero())),
                        &status)) {
    kill(pid, SIGKILL);
    Reap(pid, milliseconds(5000), &status);
    result.output += "\n(" + argv[0] + " did not finish in time)";
    return result;
  }
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::filesystem::path& log) {
  const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (out < 0)
    throw std::runtime_error("cannot write " + log.string());
  try {
    pid_ = Spawn(argv, env, out);
  } catch (...) {
    close(out);
    throw;
  }
  close(out);
}

Child::~Child() {
  Stop();
}

bool Child::Running() {
  if (pid_ < 0)
    return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void Child::Stop() {
  if (pid_ < 0)
    return;
  int status = 0;
  kill(pid_, SIGTERM);
  if (!Reap(pid_, milliseconds(5000), &status)) {
    kill(pid_, SIGKILL);
    Reap(pid_, milliseconds(5000), &status);
  }
  pid_ = -1;
}

int Luminance(std::uint32_t rgb) {
  const int r = static_cast<int>((rgb >> 16) & 0xff);
  const int g = static_cast<int>((rgb >> 8) & 0xff);
  const int b = static_cast<int>(rgb & 0xff);
  return (r * 299 + g * 587 + b * 114) / 1000;
}

long CountDifferences(const Image& a, const Image& b, const Rect& area,
                      const std::optional<Rect>& except) {
  if (a.width != b.width || a.height != b.height)
    return static_cast<long>(area.width) * area.height;
  const auto excepted = [&except](int x, int y) {
    return except && x >= except->x && x < except->x + except->width && y >= except->y &&
           y < except->y + except->height;
  };
  long count = 0;
  for (int y = area.y; y < area.y + area.height; ++y)
    for (int x = area.x; x < area.x + area.width; ++x)
      count += a.at(x, y) != b.at(x, y) && !excepted(x, y) ? 1 : 0;
  return count;
}

std::optional<Rect> DifferenceBounds(const Image& a, const Image& b, const Rect& area) {
  if (a.width != b.width || a.height != b.height)
    return area;
  int left = area.x + area.width, top = area.y + area.height, right = -1, bottom = -1;
  for (int y = area.y; y < area.y + area.height; ++y) {
    for (int x = area.x; x < area.x + area.width; ++x) {
      if (a.at(x, y) == b.at(x, y))
        continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0)
    return std::nullopt;
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

long CountDark(const Image& image, const Rect& area, int belowLuminance) {
  long count = 0;
  for (int y = area.y; y < area.y + area.height; ++y)
    for (int x = area.x; x < area.x + area.width; ++x)
      count += Luminance(image.at(x, y)) < belowLuminance ? 1 : 0;
  return count;
}

bool WaitFor(const std::function<bool()>& done, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (done())
      return true;
    if (Clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

XServer::XServer(const std::filesystem::path& logDir) {
  // Xvfb writes its display number into this pipe once it takes connections; it inherits the
  // writing end.
  int fds[2];
  if (pipe(fds) != 0)
    throw std::runtime_error("pipe failed");
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  try {
    xvfb_.emplace(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen",
                                           "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                  EnvironmentWith({}), logDir / "Xvfb.log");
  } catch (...) {
    close(fds[0]);
    close(fds[1]);
    throw;
  }
  close(fds[1]);

  std::string number;
  const auto deadline = Clock::now() + milliseconds(30000);
  while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd fd{fds[0], POLLIN, 0};
    if (poll(&fd, 1, 200) <= 0)
      continue;
    char buffer[32];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0)
      break;
    number.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    const std::string log = (logDir / "Xvfb.log").string();
    throw std::runtime_error("Xvfb did not start (see " + log + ")");
  }
  number.resize(number.find('\n'));
  display_ = ':' + number;

  XSetErrorHandler(IgnoreXErrors);
  x_ = XOpenDisplay(display_.c_str());
  if (!x_)
    throw std::runtime_error("cannot connect to Xvfb on " + display_);
}

XServer::~XServer() {
  if (x_)
    XCloseDisplay(x_);
  xvfb_.reset();
}

std::vector<std::string> XServer::Environment(std::vector<std::string> changes) const {
  changes.push_back("DISPLAY=" + display_);
  changes.push_back("WAYLAND_DISPLAY");
  changes.push_back("XAUTHORITY");
  return EnvironmentWith(changes);
}

std::vector<TopWindow> XServer::Windows() {
  std::vector<TopWindow> result;
  const Window root = DefaultRootWindow(x_);
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  XSync(x_, False);
  if (!XQueryTree(x_, root, &rootReturn, &parent, &children, &count))
    return result;
  const Atom netName = XInternAtom(x_, "_NET_WM_NAME", False);
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(x_, children[i], &attributes) || attributes.map_state != IsViewable)
      continue;
    TopWindow window;
    window.id = children[i];
    window.title = Property(x_, children[i], netName);
    if (window.title.empty())
      window.title = Property(x_, children[i], XA_WM_NAME);
    window.rect = {attributes.x, attributes.y, attributes.width, attributes.height};
    result.push_back(window);
  }
  if (children)
    XFree(children);
  return result;
}

Image XServer::Grab(const Rect& area) {
  Image image;
  XSync(x_, False);
  XImage* pixels =
      XGetImage(x_, DefaultRootWindow(x_), area.x, area.y, static_cast<unsigned>(area.width),
                static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
  if (!pixels)
    return image;
  image.width = area.width;
  image.height = area.height;
  image.pixels.resize(static_cast<std::size_t>(area.width) * static_cast<std::size_t>(area.height));
  for (int y = 0; y < area.height; ++y)
    for (int x = 0; x < area.width; ++x)
      image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(area.width) +
                   static_cast<std::size_t>(x)] =
          static_cast<std::uint32_t>(XGetPixel(pixels, x, y) & 0xffffff);
  XDestroyImage(pixels);
  return image;
}

void XServer::Xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  const RunResult result = RunToEnd(argv, Environment(), milliseconds(30000));
  if (!result.ok) {
    std::string command;
    for (const std::string& a : argv)
      command += a + " ";
    throw std::runtime_error(command + "failed: " + result.output);
  }
}

} // namespace qv::x11test

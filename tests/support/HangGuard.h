#pragma once

#ifndef _WIN32
#include <unistd.h>

namespace qv::test {

// Ends the test program when a step that must not wait (opening a FIFO) hangs after all: a
// failure instead of a run that never ends. Disarmed when it goes out of scope.
class HangGuard {
public:
  explicit HangGuard(unsigned seconds) { ::alarm(seconds); }
  ~HangGuard() { ::alarm(0); }
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;
};

} // namespace qv::test
#endif

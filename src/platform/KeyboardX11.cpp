// The toggle keys from the X server's keyboard indicators (Xkb). Without X11 all are off.
#include "platform/Keyboard.h"

#ifdef QUORVEL_HAVE_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <cstdlib>
#endif

namespace qv::platform {

namespace {

#ifdef QUORVEL_HAVE_X11

// Opens its own connection the first time it is asked, from $DISPLAY, and keeps it: the status
// bar asks on every key press.
class X11Keyboard : public KeyboardState {
public:
  ~X11Keyboard() override {
    if (display_)
      XCloseDisplay(display_);
  }

  KeyToggles Toggles() override {
    if (!Connect())
      return {};
    unsigned state = 0;
    if (XkbGetIndicatorState(display_, XkbUseCoreKbd, &state) != Success)
      return {};
    KeyToggles toggles;
    toggles.capsLock = Lit(state, capsIndex_);
    toggles.numLock = Lit(state, numIndex_);
    toggles.scrollLock = Lit(state, scrollIndex_);
    return toggles;
  }

private:
  bool Connect() {
    if (tried_)
      return display_ != nullptr;
    tried_ = true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
      return false;
    int major = XkbMajorVersion, minor = XkbMinorVersion, event = 0, error = 0, reason = 0;
    display_ = XkbOpenDisplay(nullptr, &event, &error, &major, &minor, &reason);
    if (!display_)
      return false;
    // The indicators are found by name; the usual positions serve where a keymap leaves a name
    // out.
    capsIndex_ = IndicatorIndex("Caps Lock", 0);
    numIndex_ = IndicatorIndex("Num Lock", 1);
    scrollIndex_ = IndicatorIndex("Scroll Lock", 2);
    return true;
  }

  int IndicatorIndex(const char* name, int fallback) {
    Atom atom = XInternAtom(display_, name, True);
    int index = -1;
    if (atom != None && XkbGetNamedIndicator(display_, atom, &index, nullptr, nullptr, nullptr) &&
        index >= 0)
      return index;
    return fallback;
  }

  static bool Lit(unsigned state, int index) {
    return index >= 0 && index < 32 && (state & (1u << index)) != 0;
  }

  Display* display_ = nullptr;
  bool tried_ = false;
  int capsIndex_ = 0;
  int numIndex_ = 1;
  int scrollIndex_ = 2;
};

using HostKeyboardType = X11Keyboard;

#else

class NoKeyboard : public KeyboardState {
public:
  KeyToggles Toggles() override { return {}; }
};

using HostKeyboardType = NoKeyboard;

#endif

} // namespace

KeyboardState& HostKeyboard() {
  static HostKeyboardType keyboard;
  return keyboard;
}

} // namespace qv::platform

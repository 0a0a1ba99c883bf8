// The toggle keys from the Windows keyboard state: a lock is on when its toggle bit is set.
#include "platform/Keyboard.h"

#include <windows.h>

namespace qv::platform {

namespace {

class Win32Keyboard : public KeyboardState {
public:
  KeyToggles Toggles() override {
    KeyToggles toggles;
    toggles.capsLock = (GetKeyState(VK_CAPITAL) & 1) != 0;
    toggles.numLock = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    toggles.scrollLock = (GetKeyState(VK_SCROLL) & 1) != 0;
    return toggles;
  }
};

} // namespace

KeyboardState& HostKeyboard() {
  static Win32Keyboard keyboard;
  return keyboard;
}

} // namespace qv::platform

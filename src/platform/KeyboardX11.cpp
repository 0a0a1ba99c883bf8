// Placeholder: all toggles off until the X11 reader lands.
#include "platform/Keyboard.h"

namespace qv::platform {

namespace {
class NoKeyboard : public KeyboardState {
public:
  KeyToggles Toggles() override { return {}; }
};
} // namespace

KeyboardState& HostKeyboard() {
  static NoKeyboard keyboard;
  return keyboard;
}

} // namespace qv::platform

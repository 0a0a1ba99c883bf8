#pragma once

namespace qv::platform {

struct KeyToggles {
  bool capsLock = false;
  bool numLock = false;
  bool scrollLock = false;
};

// The keyboard's toggle keys. Replaceable so that tests decide what the status bar shows.
class KeyboardState {
public:
  virtual ~KeyboardState() = default;
  virtual KeyToggles Toggles() = 0;
};

// The current provider: the host's, unless a test installed another.
KeyboardState& Keyboard();
// Installs a provider (not owned); nullptr restores the host's.
void SetKeyboardState(KeyboardState* state);

} // namespace qv::platform

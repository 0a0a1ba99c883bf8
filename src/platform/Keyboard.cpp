#include "platform/Keyboard.h"

namespace qv::platform {

KeyboardState& HostKeyboard();

namespace {
KeyboardState* g_override = nullptr;
} // namespace

KeyboardState& Keyboard() {
  return g_override ? *g_override : HostKeyboard();
}

void SetKeyboardState(KeyboardState* state) {
  g_override = state;
}

} // namespace qv::platform

#include "platform/Keyboard.h"

#include <cstdlib>

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

class FakeKeyboard : public KeyboardState {
public:
  KeyToggles toggles;
  int asked = 0;
  KeyToggles Toggles() override {
    ++asked;
    return toggles;
  }
};

TEST(Keyboard, AnInstalledProviderIsAskedUntilItIsRemoved) {
  FakeKeyboard fake;
  fake.toggles.numLock = true;
  SetKeyboardState(&fake);
  EXPECT_EQ(&fake, &Keyboard());
  KeyToggles t = Keyboard().Toggles();
  EXPECT_FALSE(t.capsLock);
  EXPECT_TRUE(t.numLock);
  EXPECT_FALSE(t.scrollLock);
  fake.toggles = {true, false, true};
  t = Keyboard().Toggles();
  EXPECT_TRUE(t.capsLock && !t.numLock && t.scrollLock);
  EXPECT_EQ(2, fake.asked);

  SetKeyboardState(nullptr);
  EXPECT_NE(&fake, &Keyboard());
  EXPECT_EQ(&Keyboard(), &Keyboard());
}

// The X11 reader; Windows keeps the toggle state itself.
#ifndef _WIN32
// The host's reader connects once, lazily; each case runs in a child process so that it starts
// unconnected with the environment it sets.
int ExitCodeFor(KeyToggles t) {
  return (t.capsLock ? 1 : 0) | (t.numLock ? 2 : 0) | (t.scrollLock ? 4 : 0);
}

TEST(KeyboardDeathTest, WithoutADisplayEveryLockIsOff) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ::unsetenv("DISPLAY");
        std::_Exit(ExitCodeFor(Keyboard().Toggles()));
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        ::setenv("DISPLAY", ":32000", 1);
        Keyboard().Toggles();
        std::_Exit(ExitCodeFor(Keyboard().Toggles()));
      },
      testing::ExitedWithCode(0), "");
}
#endif

} // namespace
} // namespace qv::platform

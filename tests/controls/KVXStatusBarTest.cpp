#include "controls/KvxWin95.h"

#include "platform/Keyboard.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace qv;

namespace {

class FakeKeyboard : public platform::KeyboardState {
public:
  platform::KeyToggles toggles;
  platform::KeyToggles Toggles() override { return toggles; }
};

class KVXStatusBarTest : public ::testing::Test {
protected:
  void SetUp() override { platform::SetKeyboardState(&keyboard); }
  void TearDown() override { platform::SetKeyboardState(nullptr); }

  // The main window's bar: 224, 175 and three key panels of 38.
  static QVector<TStatusPanel> HintBarPanels() {
    QVector<TStatusPanel> panels(5);
    const int widths[] = {224, 175, 38, 38, 38};
    for (int i = 0; i < 5; ++i)
      panels[i].Width = widths[i];
    panels[3].Text = QStringLiteral("NUM");
    return panels;
  }

  FakeKeyboard keyboard;
};

} // namespace

TEST_F(KVXStatusBarTest, KeyPanelsShowTheTogglesOfTheReplacedKeyboard) {
  keyboard.toggles.capsLock = true;
  TKVXStatusBar bar;
  bar.setPanels(HintBarPanels());
  EXPECT_EQ(bar.PanelText(2), "CAP");
  EXPECT_EQ(bar.PanelText(3), ""); // the form's "NUM" is replaced by the real state
  EXPECT_EQ(bar.PanelText(4), "");

  keyboard.toggles = {false, true, true};
  bar.UpdateKeyPanels();
  EXPECT_EQ(bar.PanelText(2), "");
  EXPECT_EQ(bar.PanelText(3), "NUM");
  EXPECT_EQ(bar.PanelText(4), "SCR  ");

  // Free panels are left alone.
  bar.setPanelText(0, QStringLiteral("long"));
  bar.setPanelText(1, QStringLiteral("short"));
  bar.UpdateKeyPanels();
  EXPECT_EQ(bar.PanelText(0), "long");
  EXPECT_EQ(bar.PanelText(1), "short");
}

TEST_F(KVXStatusBarTest, LoadedPanelsAreCentredLoweredAndSized) {
  TKVXStatusBar bar;
  QVector<TStatusPanel> panels = HintBarPanels();
  panels[4].Width = 80;
  panels[4].Bevel = pbRaised;
  bar.setPanels(panels);
  bar.resize(521, 20);
  bar.show();
  EXPECT_EQ(bar.PanelWidth(0), 224); // 521 - (177 + 40 + 40 + 40)
  EXPECT_EQ(bar.PanelWidth(1), 175);
  for (int i = 2; i < 5; ++i) {
    EXPECT_EQ(bar.PanelWidth(i), 38);
    EXPECT_EQ(bar.PanelAlignment(i), taCenter);
    EXPECT_EQ(bar.PanelBevel(i), pbLowered);
  }
  EXPECT_EQ(bar.PanelAlignment(0), taLeftJustify);

  bar.resize(600, 20);
  EXPECT_EQ(bar.PanelWidth(0), 303);
}

TEST_F(KVXStatusBarTest, EveryRefreshFiresResizedAndReadsTheKeyboardAgain) {
  TKVXStatusBar bar;
  EXPECT_EQ(bar.PanelCount(), 6);
  QSignalSpy resized(&bar, &TKVXStatusBar::resized);
  bar.UpdateKeyPanels();
  bar.UpdateKeyPanels();
  EXPECT_EQ(resized.count(), 2);

  // The bar does not watch the keyboard: a change shows at the next refresh.
  keyboard.toggles.scrollLock = true;
  EXPECT_EQ(bar.PanelText(5), "");
  bar.UpdateKeyPanels();
  EXPECT_EQ(bar.PanelText(5), "SCR  ");
  // A bar built in code keeps the default look of its panels.
  EXPECT_EQ(bar.PanelAlignment(5), taLeftJustify);
}

TEST_F(KVXStatusBarTest, BarWithTwoPanelsShowsNoKeysAndKeepsItsWidths) {
  keyboard.toggles = {true, true, true};
  TKVXStatusBar bar;
  QVector<TStatusPanel> panels(2);
  panels[0].Width = 100;
  panels[1].Width = 60;
  panels[1].Text = QStringLiteral("free");
  bar.setPanels(panels);
  bar.resize(400, 20);
  bar.show();
  QSignalSpy resized(&bar, &TKVXStatusBar::resized);
  bar.UpdateKeyPanels();
  EXPECT_EQ(resized.count(), 1);
  EXPECT_EQ(bar.PanelWidth(0), 100);
  EXPECT_EQ(bar.PanelWidth(1), 60);
  EXPECT_EQ(bar.PanelText(0), "");
  EXPECT_EQ(bar.PanelText(1), "free");
  EXPECT_EQ(bar.PanelAlignment(1), taLeftJustify);
  // Panels that do not exist are ignored.
  bar.setPanelText(4, QStringLiteral("x"));
  EXPECT_EQ(bar.PanelText(4), "");
  EXPECT_EQ(bar.PanelCount(), 2);
}

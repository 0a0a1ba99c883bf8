#include "controls/KvxWin95.h"

#include <QApplication>
#include <QPointingDevice>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace qv;

namespace {

// Four pages, the third hidden; the handler's answer is up to the test and every question counts.
struct Pages {
  TKVXPageControl control;
  bool allow = false;
  int asked = 0;

  Pages() {
    for (const char* name : {"One", "Two", "Three", "Four"})
      control.addTab(new QWidget, QString::fromLatin1(name));
    control.setTabVisible(2, false);
    control.setOnChanging([this] {
      ++asked;
      return allow;
    });
    control.resize(400, 200);
    control.show();
  }
  QTabBar* Tabs() { return control.tabBar(); }
  void Click(int index) {
    QTest::mouseClick(Tabs(), Qt::LeftButton, {}, Tabs()->tabRect(index).center());
  }
  // One notch of the wheel over the tabs; down goes to the next tab.
  void Wheel(bool down) {
    const QPoint at = Tabs()->tabRect(control.currentIndex()).center();
    QWheelEvent wheel(at, Tabs()->mapToGlobal(at), QPoint(), QPoint(0, down ? -120 : 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Tabs(), &wheel);
  }
  void CtrlTab() { QTest::keyClick(control.currentWidget(), Qt::Key_Tab, Qt::ControlModifier); }
};

} // namespace

TEST(KVXPageControl, EveryWayTheUserChangesThePageAsksFirstAndARefusalKeepsTheTab) {
  Pages pages;
  const std::vector<std::pair<const char*, std::function<void()>>> ways = {
      {"click", [&] { pages.Click(1); }},
      {"wheel", [&] { pages.Wheel(true); }},
      {"Ctrl+Tab", [&] { pages.CtrlTab(); }},
      {"SelectNextPage", [&] { EXPECT_FALSE(pages.control.SelectNextPage(true)); }},
  };
  for (const auto& [name, way] : ways) {
    SCOPED_TRACE(name);
    pages.asked = 0;
    way();
    EXPECT_EQ(pages.asked, 1);
    EXPECT_EQ(pages.control.currentIndex(), 0);
    EXPECT_EQ(pages.Tabs()->currentIndex(), 0);
  }

  // A click on the tab already shown, or the wheel towards no tab, is no change: nothing asked.
  pages.asked = 0;
  pages.Click(0);
  pages.Wheel(false);
  EXPECT_EQ(pages.asked, 0);

  // Allowed, each goes on; SelectNextPage passes the hidden tab over and goes round.
  pages.allow = true;
  pages.Wheel(true);
  EXPECT_EQ(pages.control.currentIndex(), 1);
  pages.Click(3);
  EXPECT_EQ(pages.control.currentIndex(), 3);
  EXPECT_TRUE(pages.control.SelectNextPage(true));
  EXPECT_EQ(pages.control.currentIndex(), 0);
  EXPECT_TRUE(pages.control.SelectNextPage(false));
  EXPECT_EQ(pages.control.currentIndex(), 3);
  EXPECT_TRUE(pages.control.SelectNextPage(false));
  EXPECT_EQ(pages.control.currentIndex(), 1);

  // Code changes the page without asking.
  pages.asked = 0;
  pages.control.setCurrentIndex(0);
  EXPECT_EQ(pages.control.currentIndex(), 0);
  EXPECT_EQ(pages.asked, 0);
}

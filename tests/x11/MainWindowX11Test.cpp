// The program as a user meets it: started on a demo installation under an X server of its own,
// driven with real key events, judged by its windows, its pixels and the files it leaves.

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <set>
#include <sstream>

#include "XHarness.h"
#include "support/TempDir.h"

namespace qv::x11test {
namespace {

using namespace std::chrono_literals;
using test::ReadBytes;

// Generous: sanitizer builds on a loaded machine are slow.
constexpr milliseconds kStartTime = 60s;
constexpr milliseconds kWindowTime = 15s;
constexpr milliseconds kRepaintTime = 5s;
// How long a lock panel may lag behind its key going off.
constexpr milliseconds kLockPanelTime = 3s;

const std::filesystem::path kGameDir = "drive_c/Program Files (x86)/Ultima Online";

// The line "key=..." of an options file; empty when there is none.
std::string OptionLine(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.starts_with(key + "="))
      return line;
  }
  return {};
}

// Another page fills most of the window with something else; a box changing its value or a
// button row changing does not come near a quarter of it.
bool PageDiffers(const Image& a, const Image& b) {
  return CountDifferences(a, b, a.all()) > static_cast<long>(a.width) * a.height / 4;
}

// The tab bar, found from two pictures of different pages: it starts at the first row where they
// differ (the menu bar above is the same on every page) and ends at the next row where they agree
// again (the margin above the page's controls).
std::optional<Rect> TabBar(const Image& a, const Image& b) {
  int top = -1;
  for (int y = 0; y < a.height; ++y) {
    const bool same = CountDifferences(a, b, {0, y, a.width, 1}) == 0;
    if (top < 0 && !same)
      top = y;
    else if (top >= 0 && same)
      return Rect{0, top, a.width, y - top};
  }
  return std::nullopt;
}

class QuorvelOnX : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool"}) {
      if (FindInPath(tool).empty())
        GTEST_SKIP() << tool << " is not installed (Debian packages xvfb and xdotool)";
    }
    temp_ = std::make_unique<test::TempDir>();
    demo_ = temp_->path() / "demo";
    const RunResult demo =
        RunToEnd({QUORVEL_DEMO_EXE, "--create", demo_.string()}, EnvironmentWith({}), 60s);
    ASSERT_TRUE(demo.ok) << demo.output;

    x_ = std::make_unique<XServer>(temp_->path());
    const std::string registry = demo_.string();
    program_ = std::make_unique<Child>(
        std::vector<std::string>{QUORVEL_EXE},
        x_->Environment({"QUORVEL_REGISTRY=" + registry, "QT_QPA_PLATFORM=xcb",
                         "QT_ACCESSIBILITY=0", "QUORVEL_EXIT_AFTER_SHOW", "WINEPREFIX"}),
        temp_->path() / "quorvel.log");
    // The loading window closes once the configuration has been read: then the main window is
    // the only one.
    bool up = false;
    WaitFor(
        [&] {
          const std::vector<TopWindow> windows = x_->Windows();
          up = windows.size() == 1 && windows[0].title.starts_with("Quorvel - ");
          return up || !program_->Running();
        },
        kStartTime);
    ASSERT_TRUE(up) << "no main window; windows: " << WindowList();
    main_ = x_->Windows().front();
    // The pointer stays off the window, so that no hover highlight changes its pixels.
    x_->Xdotool({"mousemove", "0", "0"});
    FocusMain();
  }

  void TearDown() override {
    program_.reset();
    x_.reset();
    // What the program said (Qt's warnings, a sanitizer's report) tells why a case failed.
    if (HasFailure() && temp_)
      std::cerr << "quorvel's output:\n" << ProgramOutput() << "\n";
  }

  std::filesystem::path GameFile(const std::string& name) const { return demo_ / kGameDir / name; }

  std::string ProgramOutput() const { return ReadBytes(temp_->path() / "quorvel.log"); }

  // There is no window manager: when a dialog closes, the focus goes where one would put it.
  void FocusMain() { x_->Xdotool({"windowfocus", "--sync", std::to_string(main_.id)}); }

  void Key(const std::string& key) { x_->Xdotool({"key", "--delay", "60", key}); }

  Image GrabMain() { return x_->Grab(main_.rect); }

  // The main window once its pixels stay the same from one look to the next.
  Image Shot() {
    Image last = GrabMain();
    Image now = last;
    WaitFor(
        [&] {
          now = GrabMain();
          const bool settled = now == last;
          last = now;
          return settled;
        },
        kRepaintTime);
    return now;
  }

  std::string WindowList() {
    std::string list;
    for (const TopWindow& window : x_->Windows())
      list += "\"" + window.title + "\" ";
    return list;
  }

  // Presses `key` and waits for a window that was not there before, its title starting with
  // `title`.
  std::optional<TopWindow> KeyOpensWindow(const std::string& key, const std::string& title = {}) {
    std::set<unsigned long> before;
    for (const TopWindow& window : x_->Windows())
      before.insert(window.id);
    Key(key);
    std::optional<TopWindow> found;
    WaitFor(
        [&] {
          for (const TopWindow& window : x_->Windows()) {
            if (!before.contains(window.id) && window.title.starts_with(title)) {
              found = window;
              return true;
            }
          }
          return false;
        },
        kWindowTime);
    return found;
  }

  bool Gone(const TopWindow& gone) {
    return WaitFor(
        [&] {
          for (const TopWindow& window : x_->Windows()) {
            if (window.id == gone.id)
              return false;
          }
          return true;
        },
        kWindowTime);
  }

  void ChangePage(const std::string& key) {
    const Image before = Shot();
    Key(key);
    ASSERT_TRUE(WaitFor([&] { return PageDiffers(before, GrabMain()); }, kRepaintTime))
        << key << " did not change the page";
  }

  std::unique_ptr<test::TempDir> temp_;
  std::filesystem::path demo_;
  std::unique_ptr<XServer> x_;
  std::unique_ptr<Child> program_;
  TopWindow main_;
};

// A drop-down list opened and closed again leaves the box as it was: Page Up and Page Down
// change the page, not the box's value, which Save would then write unseen.
struct ListCase {
  const char* name;
  bool journalPage; // else System Config
  const char* closeKey;
  const char* pageKey;
  const char* option; // the UO.CFG line that holds the box's value
};

void PrintTo(const ListCase& param, std::ostream* out) {
  *out << param.name;
}

class ListThenPageKey : public QuorvelOnX, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListThenPageKey, ChangesThePageAndLeavesTheBox) {
  const ListCase& param = GetParam();
  const std::string before = OptionLine(ReadBytes(GameFile("UO.CFG")), param.option);
  ASSERT_FALSE(before.empty()) << "the demo's UO.CFG has no " << param.option;

  if (param.journalPage) {
    // Server, then Journal; the journal page starts with the focus on Record Journal.
    ASSERT_NO_FATAL_FAILURE(ChangePage("Prior"));
    ASSERT_NO_FATAL_FAILURE(ChangePage("Prior"));
  } else {
    // From the page's first box back over Exit, Save and Use 565 to Page Flipping.
    x_->Xdotool({"key", "--delay", "60", "shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab"});
  }
  const std::optional<TopWindow> list = KeyOpensWindow("alt+Down");
  ASSERT_TRUE(list) << "Alt+Down opened no list: the focus is not on the box";
  Key(param.closeKey);
  ASSERT_TRUE(Gone(*list)) << param.closeKey << " did not close the list";

  const Image shown = Shot();
  Key(param.pageKey);
  EXPECT_TRUE(WaitFor([&] { return PageDiffers(shown, GrabMain()); }, kRepaintTime))
      << param.pageKey << " after closing the list with " << param.closeKey
      << " did not change the page";

  const std::optional<TopWindow> saved = KeyOpensWindow("Return", "Information");
  ASSERT_TRUE(saved) << "Enter did not save; windows: " << WindowList();
  const std::string after = OptionLine(ReadBytes(GameFile("UO.CFG")), param.option);
  EXPECT_EQ(after, before) << "the box changed unseen: UO.CFG "
                           << (after.empty() ? "lost the line" : "says " + after);
}

INSTANTIATE_TEST_SUITE_P(
    , ListThenPageKey,
    ::testing::Values(ListCase{"PageFlippingEsc", false, "Escape", "Prior", "PageFlip"},
                      ListCase{"PageFlippingEnter", false, "Return", "Prior", "PageFlip"},
                      ListCase{"RecordJournalEsc", true, "Escape", "Next", "JournalSaveFile"},
                      ListCase{"RecordJournalEnter", true, "Return", "Next", "JournalSaveFile"}),
    [](const ::testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

TEST_F(QuorvelOnX, EscAsksToExitAfterTheMenusAndTheNotes) {
  const std::optional<TopWindow> file = KeyOpensWindow("alt+f");
  ASSERT_TRUE(file) << "Alt+F opened no menu";
  Key("Escape");
  ASSERT_TRUE(Gone(*file)) << "Esc did not close the File menu";
  ASSERT_TRUE(KeyOpensWindow("alt+h")) << "Alt+H opened no menu";
  const std::optional<TopWindow> notes = KeyOpensWindow("n", "Quorvel Notes");
  ASSERT_TRUE(notes) << "N in the Help menu did not open the notes; windows: " << WindowList();
  Key("Return");
  ASSERT_TRUE(Gone(*notes)) << "Enter did not close the notes";
  FocusMain();

  EXPECT_TRUE(KeyOpensWindow("Escape", "Confirm"))
      << "Esc did not ask whether to exit; windows: " << WindowList();
}

// The question before the journal is emptied defaults to No: a user who presses Enter out of
// habit keeps the journal.
TEST_F(QuorvelOnX, AltCThenEnterKeepsTheJournal) {
  const std::string journal = ReadBytes(GameFile("Journal.Log"));
  ASSERT_FALSE(journal.empty());
  ASSERT_NO_FATAL_FAILURE(ChangePage("Prior"));
  ASSERT_NO_FATAL_FAILURE(ChangePage("Prior"));

  const std::optional<TopWindow> question = KeyOpensWindow("alt+c", "Confirm");
  ASSERT_TRUE(question) << "Alt+C on the journal page asked nothing; windows: " << WindowList();
  Key("Return");
  ASSERT_TRUE(Gone(*question));
  FocusMain();
  // The program takes one key at a time: once Esc's question is up, Clear has run to its end.
  ASSERT_TRUE(KeyOpensWindow("Escape", "Confirm")) << "Esc did not ask whether to exit";

  const std::string after = ReadBytes(GameFile("Journal.Log"));
  EXPECT_TRUE(after == journal) << "Alt+C, Enter changed the journal from " << journal.size()
                                << " to " << after.size() << " bytes";
}

// A macro without a key cannot be left: the page stays, and so does its tab.
TEST_F(QuorvelOnX, IncompleteMacroKeepsTheMacrosTabSelected) {
  const Image system = Shot();
  ASSERT_NO_FATAL_FAILURE(ChangePage("Next"));
  const Image macros = Shot();
  const std::optional<Rect> tabBar = TabBar(system, macros);
  ASSERT_TRUE(tabBar && tabBar->height < macros.height / 4) << "cannot find the tab bar";

  Key("alt+a");
  ASSERT_TRUE(WaitFor([&] { return !(GrabMain() == macros); }, kRepaintTime))
      << "Alt+A added no macro";
  const Image added = Shot();
  const std::optional<TopWindow> error = KeyOpensWindow("Next");
  ASSERT_TRUE(error) << "Page Down with a macro that has no key said nothing";
  // The tab bar behind the message, where the message leaves it visible.
  const Rect message{error->rect.x - main_.rect.x, error->rect.y - main_.rect.y, error->rect.width,
                     error->rect.height};
  EXPECT_TRUE(WaitFor([&] { return CountDifferences(macros, GrabMain(), *tabBar, message) == 0; },
                      kRepaintTime))
      << "while the error is shown, the tab bar does not show Macros selected";
  Key("Return");
  ASSERT_TRUE(Gone(*error));
  FocusMain();

  EXPECT_TRUE(
      WaitFor([&] { return CountDifferences(macros, GrabMain(), *tabBar) == 0; }, kRepaintTime))
      << "after the error, the tab bar does not show Macros selected";
  EXPECT_FALSE(PageDiffers(added, Shot())) << "the page changed";
}

// One program per game: a second start on the same game says so and ends without a window, and
// once the first one is gone (killed, so it did not unlock) the next start opens.
TEST_F(QuorvelOnX, ASecondStartOnTheSameGameSaysSoAndEnds) {
  // Offscreen: whatever it shows, nothing else of this display changes.
  const std::vector<std::string> env =
      x_->Environment({"QUORVEL_REGISTRY=" + demo_.string(), "QT_QPA_PLATFORM=offscreen",
                       "QT_ACCESSIBILITY=0", "QUORVEL_EXIT_AFTER_SHOW=1", "WINEPREFIX"});
  const RunResult second = RunToEnd({QUORVEL_EXE}, env, kStartTime);
  EXPECT_FALSE(second.ok) << second.output;
  EXPECT_NE(second.output.find(
                "Quorvel is already open for this game (C:\\Program Files (x86)\\Ultima Online)."),
            std::string::npos)
      << second.output;
  EXPECT_TRUE(program_->Running());

  program_->Stop();
  const RunResult third = RunToEnd({QUORVEL_EXE}, env, kStartTime);
  EXPECT_TRUE(third.ok) << third.output;
  EXPECT_EQ(third.output.find("already open"), std::string::npos) << third.output;
}

// The Caps and Num panels of the status bar follow their lock at once, also when it goes off
// at the key's release (as XKB does) and no other key follows.
class LockPanel : public QuorvelOnX, public ::testing::WithParamInterface<const char*> {};

TEST_P(LockPanel, EmptiesWhenTheLockGoesOff) {
  const std::string key = GetParam();
  const Image off = Shot();
  // The status bar is at the window's bottom; the lock panels are at its right.
  const Rect strip{off.width / 2, off.height - 40, off.width - off.width / 2, 40};
  // Held as a typist holds a key, so that the press and the release come apart.
  const auto press = [&] { x_->Xdotool({"key", "--delay", "400", key}); };

  press();
  ASSERT_TRUE(
      WaitFor([&] { return DifferenceBounds(off, GrabMain(), strip).has_value(); }, kRepaintTime))
      << key << " on: the status bar did not change";
  const Image on = Shot();
  const std::optional<Rect> panel = DifferenceBounds(off, on, strip);
  ASSERT_TRUE(panel);
  EXPECT_LT(panel->width, off.width / 8) << "more than one small panel changed";
  EXPECT_GT(CountDark(on, *panel, 100), 10) << key << " on: no text in its panel";

  press();
  EXPECT_TRUE(
      WaitFor([&] { return CountDifferences(off, GrabMain(), *panel) == 0; }, kLockPanelTime))
      << key << " off: its panel still shows its text " << kLockPanelTime.count()
      << " ms later, no other key pressed";
}

INSTANTIATE_TEST_SUITE_P(, LockPanel, ::testing::Values("Caps_Lock", "Num_Lock"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == "Caps_Lock" ? "Caps" : "Num";
                         });

} // namespace
} // namespace qv::x11test

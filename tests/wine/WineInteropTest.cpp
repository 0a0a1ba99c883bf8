// Quorvel against Debian's own Wine on a real prefix (tests/wine/make-prefix makes it once per
// build directory): the wineserver as Wine really runs it, and the registry as Wine's own tools
// read it and as wineserver writes it back. Nothing here simulates Wine.

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "WineSupport.h"
#include "controls/KVXAdCtl.h"
#include "controls/KVXStCtl.h"
#include "core/MainState.h"
#include "platform/Error.h"
#include "platform/GameProcess.h"
#include "platform/WineHive.h"
#include "settings/KVXFile.h"
#include "support/TempDir.h"
#include "support/WidgetChild.h"
#include "text/Encoding.h"
#include "ui/Config.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"
#include "ui/Main.h"
#include "ui/UOX.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

const std::string kSetsKey = "\\SOFTWARE\\Quorvel\\UOXConfigs";

// A command's standard output and error, and whether it exited with 0.
struct Output {
  bool ok = false;
  std::string output;
};

// Through a file, not a pipe: a wineserver that Wine starts stays behind with the command's
// output open, and a pipe would not end until it does.
Output Shell(const std::string& command) {
  TempDir dir;
  const std::string file = dir.file("output");
  Output run;
  run.ok = std::system((command + " >'" + file + "' 2>&1").c_str()) == 0;
  run.output = ReadBytes(file);
  return run;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// UTF-16LE (as `reg export` writes) to UTF-8; the byte-order mark is dropped.
std::string Utf16LeToUtf8(const std::string& bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    units += char16_t(static_cast<unsigned char>(bytes[i]) |
                      static_cast<unsigned char>(bytes[i + 1]) << 8);
  if (!units.empty() && units.front() == u'\xFEFF')
    units.erase(0, 1);
  return Utf16ToUtf8(units);
}

// The key blocks of a hive whose names start with one of the prefixes, without Wine's time
// stamps (the number after the name and the #time line): the name with its lines.
std::map<std::string, std::string> Blocks(const std::string& hive,
                                          const std::vector<std::string>& prefixes) {
  std::map<std::string, std::string> blocks;
  std::istringstream in(hive);
  std::string line;
  std::string* current = nullptr;
  while (std::getline(in, line)) {
    if (line.empty()) {
      current = nullptr;
    } else if (line.front() == '[') {
      current = nullptr;
      const std::string name = line.substr(0, line.rfind(']') + 1);
      for (const auto& prefix : prefixes)
        if (name.compare(0, prefix.size(), prefix) == 0)
          current = &blocks[name];
    } else if (current && line.rfind("#time=", 0) != 0) {
      *current += line + "\n";
    }
  }
  return blocks;
}

class RealWine : public ::testing::Test {
protected:
  void SetUp() override {
    prefix = SuiteWinePrefix();
    if (prefix.empty())
      GTEST_SKIP() << kNoWinePrefix;
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    // The program finds the registry as a user's would: through WINEPREFIX.
    unsetenv("QUORVEL_REGISTRY");
    StopWine();
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"})
      fs::copy_file(prefix / "pristine" / hive, prefix / hive,
                    fs::copy_options::overwrite_existing);
    // Where the game's installer put it (make-prefix wrote ExePath with `wine reg add /reg:32`).
    game = prefix / "drive_c" / "Program Files (x86)" / "Ultima Online";
    fs::remove_all(game);
    fs::create_directories(game);
    WriteBytes(game / "UO.CFG", "CacheSize=16\r\nSound=on\r\nPageFlip=gdi\r\n");
    WriteBytes(game / "MACROS.TXT", "F1 0 0 0\r\nSay Hail\r\n########\r\n");
    WriteBytes(game / "LOGIN.CFG", "LoginServer=login.example.net,7775\r\n");

    ui::Hooks().message = [this](ui::MessageKind, const QString&, const QString& text) {
      messages.push_back(text);
      return false;
    };
    ui::Hooks().execModal = [this](QDialog& modal) {
      auto* input = qobject_cast<ui::TfrmIgnore*>(&modal);
      if (!input || names.empty())
        return static_cast<int>(QDialog::Rejected);
      input->show();
      test::Child<TKVXEdit>(input, "edIgnore")->setText(names.front());
      names.pop_front();
      test::Child<TKVXButton>(input, "btnOK")->click();
      return input->result();
    };
  }

  void TearDown() override {
    window.reset();
    ui::ResetDialogHooks();
    if (!prefix.empty())
      StopWine();
    unsetenv("WINEPREFIX");
  }

  // A wineserver for the prefix that stays until it is told to end, as while the game runs.
  void StartWine() { ASSERT_TRUE(Shell("wineserver -p").ok); }
  // Ends it and waits until it has written the registry back.
  void StopWine() { Shell("wineserver -k; wineserver -w"); }
  Output Wine(const std::string& arguments) { return Shell("wine " + arguments); }

  // The main window as the player starts it; its start-up writes the first run's values.
  void OpenMainWindow() {
    window = std::make_unique<TfrmMain>();
    window->show();
    ASSERT_TRUE(window->FirstShowLoaded());
  }
  void AddSet(const QString& name) {
    MainState state = window->State();
    ui::TfrmUOX sets(state);
    sets.show();
    names.push_back(name);
    test::Child<TKVXButton>(&sets, "btnAdd")->click();
  }
  void SetOptions(const QString& uoxSupport) {
    // The dialog's own copies of the window's options: what is asked is whether the store writes.
    QFont printFont = window->PrintFont();
    QAction mnuUOX(QStringLiteral("&Multiple Configurations"));
    ui::TfrmConfig options(printFont, &mnuUOX);
    options.show();
    test::Child<TKVXComboBox>(&options, "cboxUOX")->setValue(uoxSupport);
    test::Child<TKVXButton>(&options, "btnOK")->click();
  }
  std::string Hive(const char* name) { return ReadBytes(prefix / name); }

  fs::path prefix;
  fs::path game;
  std::unique_ptr<TfrmMain> window;
  std::vector<QString> messages;
  std::deque<QString> names;
};

TEST_F(RealWine, WhileWineRunsEveryChangeIsRefusedWithTheReasonAndTheHivesStayAsTheyWere) {
  OpenMainWindow(); // the first run, while Wine is not running
  ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
  window.reset();

  StartWine();
  const std::string system = Hive("system.reg");
  const std::string user = Hive("user.reg");
  const QString reason = QStringLiteral("Wine is running for the prefix ") +
                         QString::fromStdString(prefix.string()) + QStringLiteral(" (wineserver");

  // Starting again writes nothing new, so it is no write and shows no error.
  OpenMainWindow();
  EXPECT_TRUE(messages.empty()) << messages.front().toStdString();

  AddSet(QStringLiteral("PvP"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Failed to set data for 'NextExt'\n") + reason))
      << messages[0].toStdString();

  SetOptions(QStringLiteral("Y"));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(
      messages[1].startsWith(QStringLiteral("Failed to set data for 'UOXSupport'\n") + reason))
      << messages[1].toStdString();

  try {
    TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).RemoveKey(kSetsKey + "\\Original Configuration");
    ADD_FAILURE() << "a key was removed while Wine runs";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("\n" + reason.toStdString()), std::string::npos)
        << error.what();
  }

  EXPECT_EQ(Hive("system.reg"), system);
  EXPECT_EQ(Hive("user.reg"), user);
  StopWine();
  // What Wine wrote back when it ended holds none of the refused changes.
  const auto ours = Blocks(Hive("system.reg"), {"[Software\\\\Wow6432Node\\\\Quorvel"});
  EXPECT_EQ(ours, Blocks(system, {"[Software\\\\Wow6432Node\\\\Quorvel"}));
  EXPECT_EQ(ours.count("[Software\\\\Wow6432Node\\\\Quorvel\\\\UOXConfigs\\\\PvP]"), 0u);
  EXPECT_EQ(TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).ReadNumber(kSetsKey, "NextExt", -1), -1);
}

TEST_F(RealWine, SaveWhileTheClientRunsUnderWineAsksAndNoWritesNothing) {
  OpenMainWindow(); // the first run, while Wine is not running
  ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
  // A Windows program in the client's place, started as the game's launcher starts it; Wine's
  // cmd.exe stays while its input stays open.
  fs::copy_file(prefix / "drive_c" / "windows" / "system32" / "cmd.exe", game / "client.exe");
  // Nothing of it may hold the test's output open, or ctest would wait for it.
  TempDir holder;
  const std::string pidFile = holder.file("input.pid");
  ASSERT_EQ(0, std::system(("(sh -c 'echo $$ >" + pidFile +
                            "; exec sleep 120' | wine 'C:\\Program Files (x86)\\Ultima "
                            "Online\\client.exe') </dev/null >/dev/null 2>&1 &")
                               .c_str()));
  bool running = false;
  for (int i = 0; i < 600 && !running; ++i) {
    running = platform::HostIsGameRunning(window->State().exePath);
    if (!running)
      QTest::qWait(100);
  }
  ASSERT_TRUE(running) << window->State().exePath;

  const std::string options = ReadBytes(game / "UO.CFG");
  auto* chkFoot = Child<TKVXCheckBox>(window.get(), "chkFoot");
  chkFoot->setChecked(!chkFoot->isChecked());
  Child<TKVXButton>(window.get(), "btnSave")->click(); // the message hook answers No
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Ultima Online is running and will overwrite these settings when it "
                         "closes. Save anyway?");
  EXPECT_EQ(ReadBytes(game / "UO.CFG"), options);
  StopWine();
  EXPECT_FALSE(platform::HostIsGameRunning(window->State().exePath));
  // Its input, if it is still there.
  const int killed = std::system(("kill $(cat " + pidFile + ") 2>/dev/null").c_str());
  static_cast<void>(killed);
}

TEST_F(RealWine, AWineserverFileThatCannotBeReadRefusesTheChange) {
  // Debian's Wine names its server directory in this file; without it nobody can tell.
  const fs::path file = prefix / "wineserver";
  ASSERT_TRUE(fs::exists(file)) << "this Wine keeps no server directory name in the prefix";
  const std::string name = ReadBytes(file);
  fs::remove(file);
  fs::create_directory(file);
  try {
    TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteText("\\SOFTWARE\\Quorvel", "Probe", "1");
    ADD_FAILURE() << "the change was made without knowing whether Wine runs";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what())
                  .find("\nCannot tell whether Wine is running for the prefix " + prefix.string()),
              std::string::npos)
        << error.what();
  }
  fs::remove(file);
  WriteBytes(file, name);
  fs::permissions(file, fs::perms::owner_read);
  EXPECT_EQ(Hive("system.reg"), ReadBytes(prefix / "pristine" / "system.reg"));
}

// The command line as a launcher runs it, while a wineserver of the prefix runs: a switch of
// sets is refused with Wine's reason and its own exit code, and nothing changes.
TEST_F(RealWine, TheCommandLineSwitchesNothingWhileWineRuns) {
  OpenMainWindow();
  AddSet("PvP");
  ASSERT_TRUE(messages.empty());
  window.reset();
  WriteBytes(game / "QRVDAT" / "MACROS.002", "F2 0 0 0\r\nSay PvP\r\n########\r\n");

  const std::string output = (prefix / "command-output").string();
  auto quorvel = [&](const std::string& arguments) {
    const int status = std::system(
        (Quote(QUORVEL_EXE) + " " + arguments + " >" + Quote(output) + " 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const std::string hive = Hive("system.reg");
  const std::string macros = ReadBytes(game / "MACROS.TXT");

  StartWine();
  EXPECT_EQ(quorvel("--use PvP"), 4);
  EXPECT_NE(ReadBytes(output).find("quorvel: Wine is running for the prefix " + prefix.string()),
            std::string::npos)
      << ReadBytes(output);
  EXPECT_EQ(Hive("system.reg"), hive);
  EXPECT_EQ(ReadBytes(game / "MACROS.TXT"), macros);
  // Listing reads only, and goes on.
  EXPECT_EQ(quorvel("--list"), 0) << ReadBytes(output);
  EXPECT_NE(ReadBytes(output).find("* 001 Original Configuration\n  002 PvP\n"), std::string::npos)
      << ReadBytes(output);
  StopWine();

  EXPECT_EQ(quorvel("--use pvp"), 0) << ReadBytes(output);
  EXPECT_EQ(ReadBytes(game / "MACROS.TXT"), "F2 0 0 0\r\nSay PvP\r\n########\r\n");
  EXPECT_EQ(TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).ReadText(kSetsKey, "Current", ""), "PvP");
}

TEST_F(RealWine, WineReadsWhatQuorvelWritesAndWritesItBackUnchanged) {
  OpenMainWindow();
  SetOptions(QStringLiteral("Y"));
  AddSet(QString::fromUtf8("Späße"));
  ASSERT_TRUE(messages.empty()) << messages.front().toStdString();

  Output uox = Wine("reg query 'HKLM\\Software\\Quorvel' /v UOXSupport /reg:32");
  ASSERT_TRUE(uox.ok) << uox.output;
  EXPECT_NE(uox.output.find("UOXSupport    REG_DWORD    0x1"), std::string::npos) << uox.output;
  Output ext =
      Wine("reg query 'HKLM\\Software\\Quorvel\\UOXConfigs\\Original Configuration' /v Ext "
           "/reg:32");
  EXPECT_NE(ext.output.find("Ext    REG_SZ    001"), std::string::npos) << ext.output;
  // The name outside ASCII: reg export writes UTF-16, free of the console's code page.
  TempDir out;
  Output exported = Wine("reg export 'HKLM\\Software\\Quorvel' " +
                         Quote("Z:" + out.file("quorvel.reg")) + " /reg:32 /y");
  ASSERT_TRUE(exported.ok) << exported.output;
  const std::string text = Utf16LeToUtf8(ReadBytes(out.path() / "quorvel.reg"));
  EXPECT_NE(text.find(std::string("[HKEY_LOCAL_MACHINE\\Software\\Quorvel\\UOXConfigs\\Späße]\r\n"
                                  "\"Ext\"=\"002\"\r\n")),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"NextExt\"=dword:00000003"), std::string::npos) << text;

  // Wine loads the hive and, when it ends, writes its own copy of it.
  const std::vector<std::string> keys = {"[Software\\\\Wow6432Node\\\\Quorvel",
                                         "[Software\\\\Wow6432Node\\\\Origin Worlds Online"};
  const std::string before = Hive("system.reg");
  ASSERT_TRUE(Wine("cmd /c exit").ok);
  StopWine();
  const std::string after = Hive("system.reg");
  ASSERT_NE(after, before) << "Wine did not write the hive back";
  const auto ours = Blocks(before, keys);
  EXPECT_EQ(ours.count("[Software\\\\Wow6432Node\\\\Quorvel\\\\UOXConfigs\\\\Sp\\xe4\\x00dfe]"),
            1u);
  EXPECT_EQ(Blocks(after, keys), ours);
  EXPECT_EQ(TKVXFile("HKEY_LOCAL_MACHINE", skRegistry)
                .ReadText(kSetsKey + "\\" + "Späße", "Ext", "<none>"),
            "002");
}

} // namespace
} // namespace qv::test

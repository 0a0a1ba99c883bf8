// The command line through the real executable on a demo installation: the exit codes, what it
// prints, and the files and the registry hives it leaves. Run without a display, as a launcher
// runs it.

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/SaveGuards.h"
#include "platform/ProcessLock.h"
#include "support/TempDir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

const fs::path kGameDir = fs::path("drive_c") / "Program Files (x86)" / "Ultima Online";

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

// Every file below the directory with its bytes: what a command must leave as it was.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), dir).string()] = ReadBytes(entry.path());
  return files;
}

// A set file as a player might have one: Windows-1252 bytes (0x80 is the euro sign), a zero
// byte, a lone CR and no line end at the end of one of the files.
const std::string kMacros = "F1 0 0 0\r\nSay Gr\xFC\xDF Gott, \x80 50\r\n########\r\n";
const std::string kOptions = "CacheSize=16\r\nSound=on\r\nLastCharacter=\xC9lan\x00x\rend";
const std::string kLogin = "LoginServer=login.example.net,7775\r\n";

std::string SetFileBytes(const std::string& name, const std::string& options = kOptions) {
  return "Quorvel configuration set 1\nName " + name + "\nUO.CFG " +
         std::to_string(options.size()) + "\n" + options + "\nMACROS.TXT " +
         std::to_string(kMacros.size()) + "\n" + kMacros + "\nLOGIN.CFG " +
         std::to_string(kLogin.size()) + "\n" + kLogin + "\nEnd\n";
}

class CommandLine : public ::testing::Test {
protected:
  void SetUp() override {
    demo = temp.path() / "demo";
    ASSERT_EQ(Shell(Quote(QUORVEL_DEMO_EXE) + " --create " + Quote(demo.string())).code, 0);
    // The player has opened the window once: the original set is there.
    const Result first = Shell("env QT_QPA_PLATFORM=offscreen QUORVEL_EXIT_AFTER_SHOW=1 " +
                               Environment() + Quote(QUORVEL_EXE));
    ASSERT_EQ(first.code, 0) << first.err;
  }

  // No display and no Qt platform: a command that made a window would fail.
  std::string Environment() const {
    return "env -u DISPLAY -u WAYLAND_DISPLAY -u WINEPREFIX QUORVEL_REGISTRY=" +
           Quote(demo.string()) + " ";
  }
  Result Shell(const std::string& command) const {
    Result result;
    const std::string out = temp.file("out"), err = temp.file("err");
    const int status = std::system((command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadBytes(out);
    result.err = ReadBytes(err);
    return result;
  }
  Result Quorvel(const std::vector<std::string>& args) const {
    std::string command = "env -u QT_QPA_PLATFORM " + Environment() + Quote(QUORVEL_EXE);
    for (const std::string& arg : args) {
      command += ' ';
      command += Quote(arg);
    }
    return Shell(command);
  }
  fs::path Game(const std::string& name) const { return demo / kGameDir / name; }
  std::string Hive() const { return ReadBytes(demo / "system.reg"); }

  TempDir temp;
  fs::path demo;
};

TEST_F(CommandLine, ListUseAndTheirExitCodes) {
  WriteBytes(temp.path() / "pvp.qset", SetFileBytes("Trinsic PvP \xE2\x82\xAC"));
  const Result imported = Quorvel({"--import", (temp.path() / "pvp.qset").string()});
  ASSERT_EQ(imported.code, 0) << imported.err;

  Result list = Quorvel({"--list"});
  EXPECT_EQ(list.code, 0) << list.err;
  EXPECT_EQ(list.out, "* 001 Original Configuration\n  002 Trinsic PvP \xE2\x82\xAC\n");

  // Matched as the dialog matches: blanks at the ends and letter case do not count.
  const Result use = Quorvel({"--use", "  trinsic pvp \xE2\x82\xAC "});
  EXPECT_EQ(use.code, 0) << use.err;
  EXPECT_EQ(use.out, "Ultima Online has been configured successfully off-line.\n");
  list = Quorvel({"--list"});
  EXPECT_EQ(list.out, "  001 Original Configuration\n* 002 Trinsic PvP \xE2\x82\xAC\n");
  // Installed as Save installs: each game file is its set copy as Save wrote it.
  const fs::path qrvdat = demo / kGameDir / "QRVDAT";
  EXPECT_EQ(ReadBytes(Game("MACROS.TXT")), kMacros);
  EXPECT_EQ(ReadBytes(Game("UO.CFG")), ReadBytes(qrvdat / "UO.002"));
  EXPECT_NE(ReadBytes(Game("UO.CFG")).find("LastCharacter=\xC9lan"), std::string::npos);
  EXPECT_EQ(ReadBytes(Game("LOGIN.CFG")), ReadBytes(qrvdat / "LOGIN.002"));
  EXPECT_NE(ReadBytes(Game("LOGIN.CFG")).find("login.example.net,7775"), std::string::npos);

  // Each failure has its own code and says why on standard error; none changes anything.
  const auto before = Snapshot(demo);
  const struct {
    std::vector<std::string> args;
    int code;
    std::string error;
  } failures[] = {
      {{"--use", "Siege"}, 3, "quorvel: There is no configuration named 'Siege'.\n"},
      {{"--export", "Siege", temp.file("x")}, 3, "There is no configuration named 'Siege'."},
      {{"--use"}, 2, "--use needs the set's NAME"},
      {{"--list", "x"}, 2, "--list takes no arguments"},
      {{"--frob"}, 2, "unknown command '--frob'"},
      {{"--import", temp.file("none.qset")}, 3, "Cannot open file " + temp.file("none.qset")},
      {{"--import", (temp.path() / "pvp.qset").string()}, 5, "Dupicate configuration names."},
  };
  for (const auto& failure : failures) {
    const Result result = Quorvel(failure.args);
    EXPECT_EQ(result.code, failure.code) << failure.args[0] << ": " << result.err;
    EXPECT_NE(result.err.find(failure.error), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Snapshot(demo), before);
  EXPECT_FALSE(fs::exists(temp.file("x")));

  const Result help = Quorvel({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("  4  refused"), std::string::npos) << help.out;
}

TEST_F(CommandLine, AFailedInstallKeepsTheCurrentSetAndADamagedSetIsNeverUsed) {
  WriteBytes(temp.path() / "pvp.qset", SetFileBytes("PvP"));
  ASSERT_EQ(Quorvel({"--import", (temp.path() / "pvp.qset").string()}).code, 0);
  // LOGIN.CFG cannot be replaced (as root, a directory in its place is what stops a rename).
  fs::remove(Game("LOGIN.CFG"));
  fs::create_directory(Game("LOGIN.CFG"));
  const Result use = Quorvel({"--use", "PvP"});
  EXPECT_EQ(use.code, 1);
  EXPECT_NE(use.err.find("LOGIN.CFG"), std::string::npos) << use.err;
  EXPECT_NE(use.err.find("The current configuration is still 'Original Configuration'."),
            std::string::npos)
      << use.err;
  EXPECT_EQ(Quorvel({"--list"}).out, "* 001 Original Configuration\n  002 PvP\n");

  // A key without a number, as a hand edit or an older version stopped half-way leaves it.
  std::string hive = Hive();
  hive += "\n[Software\\\\Wow6432Node\\\\Quorvel\\\\UOXConfigs\\\\Broken] 1796854671\n"
          "\"Other\"=\"x\"\n";
  WriteBytes(demo / "system.reg", hive);
  EXPECT_EQ(Quorvel({"--list"}).out,
            "  --- Broken  (damaged: no configuration number; it can only be deleted)\n"
            "* 001 Original Configuration\n  002 PvP\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--use", "broken"}, {"--export", "Broken", temp.file("x")}}) {
    const Result result = Quorvel(args);
    EXPECT_EQ(result.code, 1) << args[0];
    EXPECT_NE(result.err.find("'Broken' is damaged"), std::string::npos) << result.err;
  }
  EXPECT_FALSE(fs::exists(temp.file("x")));
  EXPECT_EQ(Quorvel({"--list"}).out.substr(0, 2), "  ") << "nothing made it current";
}

TEST_F(CommandLine, ExportThenImportGivesTheSameBytes) {
  // A Windows-1252 name (as UTF-8 on the command line and in the registry) and Windows-1252
  // bytes in the files.
  const std::string name = "\xC3\x89lan \xE2\x82\xAC Z\xC3\xBC"
                           "rich";
  const std::string original = SetFileBytes(name);
  WriteBytes(temp.path() / "a.qset", original);
  ASSERT_EQ(Quorvel({"--import", (temp.path() / "a.qset").string()}).code, 0);
  const fs::path qrvdat = demo / kGameDir / "QRVDAT";
  EXPECT_EQ(ReadBytes(qrvdat / "UO.002"), kOptions);
  EXPECT_EQ(ReadBytes(qrvdat / "MACROS.002"), kMacros);
  EXPECT_EQ(ReadBytes(qrvdat / "LOGIN.002"), kLogin);

  const Result exported = Quorvel({"--export", name, temp.file("b.qset")});
  ASSERT_EQ(exported.code, 0) << exported.err;
  EXPECT_EQ(ReadBytes(temp.path() / "b.qset"), original);

  // Under a name of its own, beside the first: both sets keep their files.
  const Result again = Quorvel({"--import", temp.file("b.qset"), "Copy"});
  ASSERT_EQ(again.code, 0) << again.err;
  ASSERT_EQ(Quorvel({"--export", "copy", temp.file("c.qset")}).code, 0);
  EXPECT_EQ(ReadBytes(temp.path() / "c.qset"), SetFileBytes("Copy"));
  EXPECT_EQ(ReadBytes(qrvdat / "UO.002"), kOptions);
  EXPECT_EQ(ReadBytes(qrvdat / "UO.003"), kOptions);
}

TEST_F(CommandLine, DamagedOrHostileImportsAreRefusedWithNothingWritten) {
  const std::string whole = SetFileBytes("Siege");
  struct Case {
    std::string what;
    std::string bytes;
    int code;
    std::string error;
  };
  std::vector<Case> cases = {
      {"a backslash in the name", SetFileBytes("..\\..\\Siege"), 5, "backslash"},
      {"a name over 50 characters", SetFileBytes(std::string(51, 'x')), 5, "at most 50"},
      {"a path for a file name", "Quorvel configuration set 1\nName Siege\n..\\..\\UO.CFG 2\nab\n",
       1, "damaged"},
      {"a size above the limit",
       "Quorvel configuration set 1\nName Siege\nUO.CFG 99999999999999\nab\n", 1, "damaged"},
      {"bytes after the end", whole + "UO.CFG 1\nx\n", 1, "damaged"},
      {"a size too small",
       SetFileBytes("Siege", kOptions + "!")
           .replace(whole.find("UO.CFG ") + 7, 2, std::to_string(kOptions.size())),
       1, "damaged"},
      {"a later version", "Quorvel configuration set 2\n", 1, "later version"},
      {"no set file", "[HKEY_LOCAL_MACHINE]\n", 1, "not a configuration set file"},
  };
  // Cut short anywhere.
  for (std::size_t cut : {std::size_t(0), std::size_t(30), whole.size() / 2, whole.size() - 1})
    cases.push_back({"cut at " + std::to_string(cut), whole.substr(0, cut), 1, "Cannot import"});

  const auto before = Snapshot(demo);
  for (const Case& c : cases) {
    WriteBytes(temp.path() / "in.qset", c.bytes);
    const Result result = Quorvel({"--import", temp.file("in.qset")});
    EXPECT_EQ(result.code, c.code) << c.what << ": " << result.err;
    EXPECT_NE(result.err.find(c.error), std::string::npos) << c.what << ": " << result.err;
  }
  // Larger than any set: refused before it is read (the file is sparse).
  {
    std::filesystem::resize_file(temp.path() / "in.qset", std::uintmax_t(1) << 30);
    const Result result = Quorvel({"--import", temp.file("in.qset")});
    EXPECT_EQ(result.code, 1) << result.err;
    EXPECT_NE(result.err.find("Cannot open file"), std::string::npos) << result.err;
  }
  EXPECT_EQ(Snapshot(demo), before) << "a refused import wrote something";
}

TEST_F(CommandLine, ChangesAreRefusedWhileAnotherQuorvelOrTheGameRuns) {
  WriteBytes(temp.path() / "pvp.qset", SetFileBytes("PvP"));
  ASSERT_EQ(Quorvel({"--import", temp.file("pvp.qset")}).code, 0);
  const auto before = Snapshot(demo);
  {
    // Another process holds the game directory as a window does.
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
      platform::ProcessLock lock;
      LockGameDirectory(lock, (demo / kGameDir).string() + "/");
      pause();
      _exit(0);
    }
    // Until the holder has the lock, a command may still get it: wait for the refusal.
    Result use;
    for (int tries = 0; tries < 200 && use.code != 4; ++tries)
      use = Quorvel({"--use", "PvP"});
    EXPECT_EQ(use.code, 4) << use.err;
    EXPECT_NE(use.err.find("Quorvel is already open for this game (C:\\Program Files (x86)\\"
                           "Ultima Online)."),
              std::string::npos)
        << use.err;
    EXPECT_EQ(Quorvel({"--import", temp.file("pvp.qset"), "Other"}).code, 4);
    // Reading goes on.
    EXPECT_EQ(Quorvel({"--list"}).code, 0);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
  }
  EXPECT_EQ(Snapshot(demo), before);

  {
    // The game's client, as Wine shows it among the processes: the program's Windows path, and
    // the prefix in its environment.
    const std::string prefix = "WINEPREFIX=" + demo.string();
    const pid_t game = fork();
    ASSERT_GE(game, 0);
    if (game == 0) {
      char* const env[] = {const_cast<char*>(prefix.c_str()), nullptr};
      execle("/bin/sleep", "C:\\Program Files (x86)\\Ultima Online\\client.exe", "60",
             static_cast<char*>(nullptr), env);
      _exit(127);
    }
    Result use;
    for (int tries = 0; tries < 200 && use.code != 4; ++tries)
      use = Quorvel({"--use", "PvP"});
    kill(game, SIGKILL);
    waitpid(game, nullptr, 0);
    EXPECT_EQ(use.code, 4) << use.err;
    EXPECT_NE(use.err.find("Ultima Online is running"), std::string::npos) << use.err;
  }
  EXPECT_EQ(Snapshot(demo), before);
  EXPECT_EQ(Quorvel({"--use", "PvP"}).code, 0) << "once both have ended";
}

} // namespace
} // namespace qv::test

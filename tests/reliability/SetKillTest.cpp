// Every change of the configuration sets killed at random moments, from the window (Add,
// Duplicate, Rename, Delete, Save) and from the command line (--import, --use). After each kill
// the sets must still make sense: every listed set has its three files and a number of its own,
// "Current" names a listed set, the game's files are one set's copies or the next start reports
// the cut-short save, and no temporary file outlives that start.
//
// QUORVEL_SET_KILLS sets the kills per operation (150 by default; 1000 for a long run).
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ReliabilitySupport.h"
#include "cli/CommandLine.h"
#include "core/SetArchive.h"
#include "core/SetCatalog.h"
#include "platform/Error.h"
#include "settings/KVXFile.h"

namespace qv::test {
namespace {

#ifndef _WIN32

namespace fs = std::filesystem;

constexpr const char* kGameFiles[] = {"UO.CFG", "MACROS.TXT", "LOGIN.CFG"};
constexpr const char* kKinds[] = {"UO.", "MACROS.", "LOGIN."};

int KillsPerOperation() {
  const char* text = std::getenv("QUORVEL_SET_KILLS");
  const int kills = text ? std::atoi(text) : 0;
  return kills > 0 ? kills : 150;
}

int Cli(std::vector<std::string> args) {
  std::ostringstream out;
  std::ostringstream err;
  return cli::Run(args, out, err);
}

// The set's three files as a set file would carry them.
std::array<std::string, 3> Contents(const std::string& tag) {
  return {SampleOptions() + "LastCharacter=" + tag + "\r\n",
          "F1 0 0 0\r\nSay " + tag + "\r\n########\r\n",
          "LoginServer=" + tag + ".example.org,2593\r\n"};
}

class KilledSetChange : public ::testing::Test {
protected:
  void SetUp() override {
    inst.RegisterGame();
    state = inst.Start();
    // Two sets beside the original, each with files of its own, "A" current and installed.
    for (const char* name : {"A", "B"}) {
      const auto ext = ImportSet(state, name, Contents(name));
      ASSERT_TRUE(ext);
    }
    ASSERT_EQ(Cli({"--use", "A"}), cli::kDone);
    state = inst.Start();
    archive = (inst.Root() / "set.qset").string();
    WriteBytes(archive, EncodeSetArchive({"Imported", Contents("imported")}));
  }

  // Runs the body in a child over and over and kills it at random moments; after each kill,
  // checks what is left.
  void KillRepeatedly(const std::function<void(int round)>& body,
                      const std::function<void()>& before = {}) {
    std::mt19937 random(20261209);
    const int kills = KillsPerOperation();
    for (int kill = 0; kill < kills; ++kill) {
      if (before)
        before();
      ChildProcess child([&](ChildProcess& self) {
        self.SignalReady();
        for (int round = 0;; ++round) {
          try {
            body(round + kill);
          } catch (const Error&) {
          }
        }
      });
      ASSERT_TRUE(child.WaitReady());
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
      child.Kill();
      child.Wait();
      CheckInvariants(kill);
      if (HasFailure())
        return;
    }
  }

  void CheckInvariants(int kill) {
    SCOPED_TRACE("after kill " + std::to_string(kill));
    MainState next;
    StartUp(next);
    EXPECT_EQ(TempFilesBelow(inst.Root()), std::vector<std::string>{}) << "left by the next start";

    std::set<std::string> exts;
    std::vector<std::string> names;
    for (const SetEntry& set : ListSetEntries()) {
      ASSERT_TRUE(set.ext) << "damaged: " << set.name;
      EXPECT_TRUE(exts.insert(*set.ext).second) << "two sets share " << *set.ext;
      for (const char* kind : kKinds)
        EXPECT_TRUE(inst.Exists("QRVDAT/" + std::string(kind) + *set.ext))
            << set.name << " lacks " << kind << *set.ext;
      names.push_back(set.name);
    }
    const std::optional<std::string> current = FindSet(names, CurrentSetName());
    ASSERT_TRUE(current) << "Current names no set: " << CurrentSetName();
    EXPECT_TRUE(next.currentSetProblem.empty()) << next.currentSetProblem;

    if (next.lastSaveUnfinished)
      return; // the player is told, and the next Save installs again
    // Whole: the three game files are the current set's copies, or (--use killed between its
    // install and making the set current) those of the set it installed.
    auto installed = [&](const std::string& set) {
      const std::optional<std::string> ext = SetExt(set);
      if (!ext)
        return false;
      for (std::size_t k = 0; k < 3; ++k)
        if (inst.Get(kGameFiles[k]) != inst.Get("QRVDAT/" + std::string(kKinds[k]) + *ext))
          return false;
      return true;
    };
    EXPECT_TRUE(installed(*current) || (installing && installed(installing)))
        << "the game's files are not those of '" << *current << "', and the next start says "
        << "nothing";
  }

  // The set a --use under test installs.
  const char* installing = nullptr;
  Installation inst;
  MainState state;
  std::string archive;
};

TEST_F(KilledSetChange, Import) {
  KillRepeatedly([&](int round) {
    const std::string name = "Imported " + std::to_string(round % 3);
    Cli({"--import", archive, name});
    if (round % 3 == 2)
      for (int i = 0; i < 3; ++i)
        DeleteSet("Imported " + std::to_string(i));
  });
}

TEST_F(KilledSetChange, AddAndDelete) {
  KillRepeatedly([&](int round) {
    if (round % 2 == 0)
      AddSet(state, "Added");
    else
      DeleteSet("Added");
  });
}

TEST_F(KilledSetChange, DuplicateAndDelete) {
  KillRepeatedly([&](int round) {
    if (round % 2 == 0)
      DuplicateSet(state, "B", "Copy of B");
    else
      DeleteSet("Copy of B");
  });
}

TEST_F(KilledSetChange, RenameTheCurrentSet) {
  // Round and round, once in other letters only; "Current" moves along.
  const std::string ext = SetExt("A").value_or("");
  KillRepeatedly([&](int) {
    for (const SetEntry& set : ListSetEntries())
      if (set.ext == ext)
        RenameSet(set.name, set.name == "A" ? "Trinsic" : set.name == "Trinsic" ? "TRINSIC" : "A");
  });
}

TEST_F(KilledSetChange, UseAnotherSet) {
  // From "A" installed and current, to "B": never "B" current with "A"'s files.
  installing = "B";
  KillRepeatedly(
      [&](int) {
        Cli({"--use", "B"});
      },
      [&] {
        ASSERT_EQ(Cli({"--use", "A"}), cli::kDone);
      });
}

TEST_F(KilledSetChange, SaveTwoVersions) {
  MainState other = state;
  other.servers[0] = "other.example.org";
  other.soundVol = 17;
  KillRepeatedly([&](int round) {
    MainState save = round % 2 ? other : state;
    SaveCurrentSet(save);
  });
}

#endif

} // namespace
} // namespace qv::test

// Every place the program writes, with each step of the write failing in turn (creating the
// temporary file, writing, flushing to disk, renaming; reading the source of a copy): the old file
// stays exactly as it was, the user sees the error the program promises, no temporary file is
// left, and the next save succeeds.
#include <cerrno>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ReliabilitySupport.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"
#include "platform/FileSystem.h"
#include "settings/KVXFile.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using platform::FileStep;

struct Fault {
  FileStep step;
  int error;
};

std::string StepName(FileStep step) {
  switch (step) {
  case FileStep::Open:
    return "Open";
  case FileStep::Create:
    return "Create";
  case FileStep::Write:
    return "Write";
  case FileStep::Flush:
    return "Flush";
  case FileStep::Rename:
    return "Rename";
  }
  return "Step";
}

std::string FaultName(const ::testing::TestParamInfo<Fault>& info) {
  const int error = info.param.error;
  return StepName(info.param.step) + (error == ENOSPC   ? "NoSpace"
                                      : error == EACCES ? "PermissionRefused"
                                                        : "ReadOnlyFs");
}

// The writing steps with the three failures a user meets: a full disk, a refused permission, a
// read-only file system.
std::vector<Fault> WriteFaults() {
  std::vector<Fault> faults;
  for (FileStep step : {FileStep::Create, FileStep::Write, FileStep::Flush, FileStep::Rename})
    for (int error : {ENOSPC, EACCES, EROFS})
      faults.push_back({step, error});
  return faults;
}

// Copies also read their source first.
std::vector<Fault> CopyFaults() {
  std::vector<Fault> faults = WriteFaults();
  faults.push_back({FileStep::Open, EACCES});
  return faults;
}

class FaultTest : public ::testing::TestWithParam<Fault> {
protected:
  // Fails the parameter's step for every file of that name.
  platform::FileFaultHook FailFor(const std::string& fileName) {
    const Fault fault = GetParam();
    return [fault, fileName](FileStep step, const std::string& hostPath) {
      return step == fault.step && fs::path(hostPath).filename() == fileName ? fault.error : 0;
    };
  }

  void ExpectNoTempFiles() { EXPECT_EQ(TempFilesBelow(inst.Root()), std::vector<std::string>{}); }

  // Values that no earlier save wrote, in all three files.
  void ChangeEverything(MainState& state) {
    ++changes;
    state.soundVol = 10 + changes;
    state.servers[0] = "changed" + std::to_string(changes) + ".example.net";
    AppendMacro(state, MacroPanel{"F9",
                                  -1,
                                  false,
                                  true,
                                  false,
                                  {{"Say", -1, "change " + std::to_string(changes), -1}},
                                  {}});
  }

  int changes = 0;

  Installation inst;
};

// --- The three set copies (WriteOptions, WriteLoginServers, WriteMacros) ---

class SetCopyFaults : public FaultTest {};

TEST_P(SetCopyFaults, OldCopyKeptErrorShownNothingInstalledNextSaveWorks) {
  inst.RegisterGame();
  for (const char* kind : {"UO.", "LOGIN.", "MACROS."}) {
    SCOPED_TRACE(kind);
    MainState state = inst.Start();
    const std::string copy = std::string("QRVDAT/") + kind + "001";
    const std::string oldCopy = inst.Get(copy);
    const std::string oldGameFiles =
        inst.Get("UO.CFG") + inst.Get("MACROS.TXT") + inst.Get("LOGIN.CFG");
    ChangeEverything(state);
    {
      platform::ScopedFileFaultHook hook(FailFor(fs::path(copy).filename().string()));
      try {
        SaveCurrentSet(state);
        ADD_FAILURE() << "the save went through";
      } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " +
                                                 SetFilePath(state, kind, "001") + "\n" +
                                                 std::strerror(GetParam().error));
      }
    }
    EXPECT_EQ(inst.Get(copy), oldCopy);
    // The save stops there: the game's own files are not touched.
    EXPECT_EQ(inst.Get("UO.CFG") + inst.Get("MACROS.TXT") + inst.Get("LOGIN.CFG"), oldGameFiles);
    ExpectNoTempFiles();

    ASSERT_TRUE(SaveCurrentSet(state));
    EXPECT_NE(inst.Get(copy), oldCopy);
    EXPECT_EQ(inst.Get(std::string(kind) == "UO."      ? "UO.CFG"
                       : std::string(kind) == "LOGIN." ? "LOGIN.CFG"
                                                       : "MACROS.TXT"),
              inst.Get(copy));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, SetCopyFaults, ::testing::ValuesIn(WriteFaults()), FaultName);

// --- InstallCurrentSet's three copies over the game's files ---

class InstallFaults : public FaultTest {};

TEST_P(InstallFaults, GameFileKeptOthersInstalledSaveReportsFailureNextSaveWorks) {
  inst.RegisterGame();
  for (const char* gameFile : {"UO.CFG", "MACROS.TXT", "LOGIN.CFG"}) {
    SCOPED_TRACE(gameFile);
    MainState state = inst.Start();
    const std::string oldFile = inst.Get(gameFile);
    ChangeEverything(state);
    // A failed read of the set copy fails its copy just the same.
    const std::string faulted =
        GetParam().step == FileStep::Open
            ? std::string(gameFile).substr(0, std::strcspn(gameFile, ".") + 1) + "001"
            : gameFile;
    bool installed;
    {
      platform::ScopedFileFaultHook hook(FailFor(faulted));
      installed = SaveCurrentSet(state);
    }
    EXPECT_FALSE(installed) << "the user would read: " << kSaveSucceededText;
    EXPECT_EQ(inst.Get(gameFile), oldFile);
    // Every copy is tried: the other two game files are the new ones.
    for (const auto& [file, copy] :
         {std::pair{"UO.CFG", "QRVDAT/UO.001"}, std::pair{"MACROS.TXT", "QRVDAT/MACROS.001"},
          std::pair{"LOGIN.CFG", "QRVDAT/LOGIN.001"}}) {
      if (std::string(file) != gameFile) {
        EXPECT_EQ(inst.Get(file), inst.Get(copy)) << file;
      }
    }
    ExpectNoTempFiles();

    ASSERT_TRUE(SaveCurrentSet(state));
    EXPECT_NE(inst.Get(gameFile), oldFile);
    // Back to the sample files for the next round.
    inst.Put("UO.CFG", SampleOptions());
    inst.Put("MACROS.TXT", SampleMacros());
    inst.Put("LOGIN.CFG", SampleLogin());
    for (const char* copy : {"QRVDAT/UO.001", "QRVDAT/MACROS.001", "QRVDAT/LOGIN.001"})
      fs::remove(inst.GamePath() / copy);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, InstallFaults, ::testing::ValuesIn(CopyFaults()), FaultName);

// --- CopyCurrentSet: a new set's files ---

class CopySetFaults : public FaultTest {};

TEST_P(CopySetFaults, TargetKeptOthersCopiedNextCopyWorks) {
  inst.RegisterGame();
  MainState state = inst.Start();
  inst.Put("QRVDAT/UO.002", "an older set's options\r\n");
  const std::string faulted = GetParam().step == FileStep::Open ? "UO.001" : "UO.002";
  {
    platform::ScopedFileFaultHook hook(FailFor(faulted));
    EXPECT_NO_THROW(CopyCurrentSet(state, "002")); // failures are not reported
  }
  EXPECT_EQ(inst.Get("QRVDAT/UO.002"), "an older set's options\r\n");
  EXPECT_EQ(inst.Get("QRVDAT/MACROS.002"), inst.Get("QRVDAT/MACROS.001"));
  EXPECT_EQ(inst.Get("QRVDAT/LOGIN.002"), inst.Get("QRVDAT/LOGIN.001"));
  ExpectNoTempFiles();

  CopyCurrentSet(state, "002");
  EXPECT_EQ(inst.Get("QRVDAT/UO.002"), inst.Get("QRVDAT/UO.001"));
}

INSTANTIATE_TEST_SUITE_P(EveryStep, CopySetFaults, ::testing::ValuesIn(CopyFaults()), FaultName);

// --- The first-run copies (".OLD" backups and the ".001" set) ---

class FirstRunFaults : public FaultTest {};

TEST_P(FirstRunFaults, MissingCopyIsMadeAtTheNextStart) {
  inst.RegisterGame();
  for (const char* target : {"UO.OLD", "MACROS.001"}) {
    SCOPED_TRACE(target);
    const std::string relative =
        std::string(target).ends_with(".OLD") ? target : std::string("QRVDAT/") + target;
    fs::remove(inst.GamePath() / relative);
    // Reading fails on the source, the rest on the copy.
    const std::string faulted = GetParam().step != FileStep::Open       ? std::string(target)
                                : std::string(target).starts_with("UO") ? "UO.CFG"
                                                                        : "MACROS.TXT";
    {
      platform::ScopedFileFaultHook hook(FailFor(faulted));
      MainState state;
      StartUp(state);
      // The game file is there, so the failed copy is reported.
      EXPECT_THROW(MakeFirstRunCopies(state), Error);
    }
    EXPECT_FALSE(inst.Exists(relative));
    ExpectNoTempFiles();

    MainState state;
    StartUp(state);
    MakeFirstRunCopies(state);
    EXPECT_EQ(inst.Get(relative),
              inst.Get(std::string(target).starts_with("UO") ? "UO.CFG" : "MACROS.TXT"));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, FirstRunFaults, ::testing::ValuesIn(CopyFaults()), FaultName);

// --- The registry hive ---

// The Win32 registry is no file of the program's.
#ifndef _WIN32

class HiveFaults : public FaultTest {};

TEST_P(HiveFaults, HiveKeptStoreErrorShownNextWriteWorks) {
  inst.RegisterGame();
  MainState state = inst.Start();
  const fs::path hive = inst.RegistryPath() / "system.reg";
  const std::string old = ReadBytes(hive);
  {
    platform::ScopedFileFaultHook hook(FailFor("system.reg"));
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    try {
      store.WriteText(kConfigsKey, "Current", "Second Set");
      ADD_FAILURE() << "the write went through";
    } catch (const Error& error) {
      // The reason goes on a second line.
      EXPECT_EQ(error.what(), "Failed to set data for 'Current'\nCannot write the registry file " +
                                  hive.string() + ": " + std::strerror(GetParam().error));
    }
  }
  EXPECT_EQ(ReadBytes(hive), old);
  ExpectNoTempFiles();

  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteText(kConfigsKey, "Current", "Second Set");
  EXPECT_EQ(store.ReadText(kConfigsKey, "Current", ""), "Second Set");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, HiveFaults, ::testing::ValuesIn(WriteFaults()), FaultName);
#endif

// --- An INI file behind a settings store ---

class IniFaults : public FaultTest {};

TEST_P(IniFaults, FileKeptStoreErrorShownNextWriteWorks) {
  const std::string name = (inst.Root() / "home" / "Quorvel.ini").string();
  WriteBytes(name, "[Window]\r\nLeft=10\r\n");
  {
    platform::ScopedFileFaultHook hook(FailFor("Quorvel.ini"));
    TKVXFile store(name, skIniFile);
    try {
      store.WriteNumber("Window", "Left", 20);
      ADD_FAILURE() << "the write went through";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), "Unable to write to " + name);
    }
  }
  EXPECT_EQ(ReadBytes(name), "[Window]\r\nLeft=10\r\n");
  ExpectNoTempFiles();

  TKVXFile store(name, skIniFile);
  store.WriteNumber("Window", "Left", 20);
  EXPECT_EQ(ReadBytes(name), "[Window]\r\nLeft=20\r\n");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, IniFaults, ::testing::ValuesIn(WriteFaults()), FaultName);

// --- The journal's Clear: the journal page empties the file with WriteLines ---

class JournalClearFaults : public FaultTest {};

TEST_P(JournalClearFaults, JournalKeptErrorShownNextClearWorks) {
  const std::string journal = inst.GameDir() + "Journal.Log";
  inst.Put("Journal.Log", "You see: a dragon\r\nThe dragon breathes fire!\r\n");
  {
    platform::ScopedFileFaultHook hook(FailFor("Journal.Log"));
    try {
      platform::WriteLines(journal, {});
      ADD_FAILURE() << "the journal was cleared";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "Cannot create file " + journal + "\n" + std::strerror(GetParam().error));
    }
  }
  EXPECT_EQ(inst.Get("Journal.Log"), "You see: a dragon\r\nThe dragon breathes fire!\r\n");
  ExpectNoTempFiles();

  platform::WriteLines(journal, {});
  EXPECT_EQ(inst.Get("Journal.Log"), "");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, JournalClearFaults, ::testing::ValuesIn(WriteFaults()),
                         FaultName);

} // namespace
} // namespace qv::test

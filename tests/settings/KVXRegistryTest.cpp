#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

#include "platform/Error.h"
#include "platform/Registry.h"
#include "settings/KVXFile.h"
#include "support/TempDir.h"
#include "support/TestRegistry.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using platform::RegValue;
using platform::RootKey;

const std::string kConfigs = "\\SOFTWARE\\Quorvel\\UOXConfigs";

std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

// Every test gets an empty registry of its own.
class RegistryStore : public ::testing::Test {
protected:
  std::string Machine() const { return registry.MachineSnapshot(); }
  std::string User() const { return registry.UserSnapshot(); }
  std::vector<std::string> SubKeys(TKVXFile& store, const std::string& key) {
    std::vector<std::string> list;
    store.ListSubKeys(key, list);
    return list;
  }
  // Puts a value of any type below HKEY_LOCAL_MACHINE, bypassing the store.
  void PutRaw(const std::string& key, const std::string& name, RegValue value) {
    auto reg = platform::OpenRegistry();
    auto opened = reg->CreateKey(RootKey::LocalMachine, key);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(opened->SetValue(name, value));
  }

  test::TestRegistry registry;
};

TEST_F(RegistryStore, MissingKeysGiveDefaultsAndCreateNothing) {
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    EXPECT_EQ(store.ReadText(kConfigs, "Current", "Original Configuration"),
              "Original Configuration");
    EXPECT_EQ(store.ReadNumber(kConfigs, "NextExt", 2), 2);
    EXPECT_TRUE(store.ReadFlag("\\SOFTWARE\\Quorvel", "UOXSupport", true));
  }
  EXPECT_EQ(Machine(), "");
  EXPECT_EQ(User(), "");

  // Nor in an existing hive: not the key, not the value.
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteText("\\SOFTWARE\\Quorvel", "Other", "x");
  const std::string hive = Machine();
  EXPECT_EQ(store.ReadText(kConfigs, "Current", "d"), "d");
  EXPECT_EQ(store.ReadText("\\SOFTWARE\\Quorvel", "Current", "d"), "d");
  EXPECT_EQ(store.ReadNumber(kConfigs + "\\Original Configuration", "Ext", 1), 1);
  EXPECT_EQ(Machine(), hive);
  EXPECT_EQ(SubKeys(store, "\\SOFTWARE\\Quorvel"), std::vector<std::string>{});
}

TEST_F(RegistryStore, AWriteCreatesTheWholePath) {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteText(kConfigs + "\\Original Configuration", "Ext", "001");
  EXPECT_EQ(store.ReadText(kConfigs + "\\Original Configuration", "Ext", ""), "001");
  EXPECT_EQ(SubKeys(store, kConfigs), std::vector<std::string>{"Original Configuration"});
  EXPECT_EQ(SubKeys(store, "\\SOFTWARE\\Quorvel"), std::vector<std::string>{"UOXConfigs"});
  // Another store sees it: nothing stays in memory.
  TKVXFile other("HKEY_LOCAL_MACHINE", skRegistry);
  EXPECT_EQ(other.ReadText("software\\quorvel\\uoxconfigs\\ORIGINAL CONFIGURATION", "EXT", ""),
            "001");
}

TEST_F(RegistryStore, ListSubKeysOfAMissingKeyCreatesItEmpty) {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  std::vector<std::string> list{"stale", "entries"};
  store.ListSubKeys(kConfigs, list);
  EXPECT_TRUE(list.empty());
  EXPECT_NE(Machine(), "");
  EXPECT_EQ(SubKeys(store, "\\SOFTWARE\\Quorvel"), std::vector<std::string>{"UOXConfigs"});

  store.WriteNumber(kConfigs + "\\B", "Ext", 2);
  store.WriteNumber(kConfigs + "\\A", "Ext", 3);
  list = {"stale"};
  store.ListSubKeys(kConfigs, list);
  std::sort(list.begin(), list.end());
  EXPECT_EQ(list, (std::vector<std::string>{"A", "B"}));
}

TEST_F(RegistryStore, RemoveKeyTakesTheWholeTreeAndIgnoresMissingKeys) {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.RemoveKey(kConfigs + "\\Nothing");
  EXPECT_EQ(Machine(), "");

  store.WriteText(kConfigs + "\\Set\\Deep\\Deeper", "v", "1");
  store.WriteText(kConfigs + "\\Set\\Deep", "v", "2");
  store.WriteText(kConfigs + "\\Set\\Side", "v", "3");
  store.WriteText(kConfigs + "\\Set", "Ext", "004");
  store.WriteText(kConfigs + "\\Settled", "Ext", "005");
  store.RemoveKey(kConfigs + "\\set");
  EXPECT_EQ(SubKeys(store, kConfigs), std::vector<std::string>{"Settled"});
  EXPECT_EQ(store.ReadText(kConfigs + "\\Set\\Deep\\Deeper", "v", "gone"), "gone");
  EXPECT_EQ(store.ReadText(kConfigs + "\\Settled", "Ext", ""), "005");

  const std::string hive = Machine();
  store.RemoveKey(kConfigs + "\\Set");
  // A root is never emptied.
  store.RemoveKey("");
  store.RemoveKey("\\");
  EXPECT_EQ(Machine(), hive);
}

TEST_F(RegistryStore, WrongTypesFailWithTheValueName) {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  const std::string key = "\\SOFTWARE\\Quorvel";
  store.WriteText(key, "Long", "Original Configuration");
  store.WriteText(key, "One", "a"); // four bytes with its terminator
  store.WriteText(key, "None", "");
  store.WriteNumber(key, "Number", 7);

  // Longer than four bytes: the data cannot be fetched, whatever the type.
  EXPECT_EQ(ErrorText([&] { store.ReadNumber(key, "Long", 0); }), "Failed to get data for 'Long'");
  EXPECT_EQ(ErrorText([&] { store.ReadFlag(key, "Long", false); }),
            "Failed to get data for 'Long'");
  EXPECT_EQ(ErrorText([&] { store.ReadNumber(key, "One", 0); }), "Invalid data type for 'One'");
  EXPECT_EQ(ErrorText([&] { store.ReadFlag(key, "None", false); }), "Invalid data type for 'None'");
  EXPECT_EQ(ErrorText([&] { store.ReadText(key, "Number", ""); }),
            "Invalid data type for 'Number'");

  PutRaw(key, "Blob4", RegValue{platform::kRegBinary, {1, 0, 0, 0}});
  PutRaw(key, "Blob8", RegValue{platform::kRegBinary, {1, 0, 0, 0, 0, 0, 0, 0}});
  PutRaw(key, "Multi", RegValue::Text("a", platform::kRegMultiSz));
  EXPECT_EQ(ErrorText([&] { store.ReadNumber(key, "Blob4", 0); }), "Invalid data type for 'Blob4'");
  EXPECT_EQ(ErrorText([&] { store.ReadNumber(key, "Blob8", 0); }),
            "Failed to get data for 'Blob8'");
  EXPECT_EQ(ErrorText([&] { store.ReadText(key, "Blob4", ""); }), "Invalid data type for 'Blob4'");
  EXPECT_EQ(ErrorText([&] { store.ReadText(key, "Multi", ""); }), "Invalid data type for 'Multi'");
}

TEST_F(RegistryStore, ExpandableTextIsReadUnexpanded) {
  PutRaw("\\SOFTWARE\\Quorvel", "Dir",
         RegValue::Text("%ProgramFiles%\\UO", platform::kRegExpandSz));
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  EXPECT_EQ(store.ReadText("\\SOFTWARE\\Quorvel", "Dir", ""), "%ProgramFiles%\\UO");
}

TEST_F(RegistryStore, NumbersAndFlags) {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  const std::string key = "\\SOFTWARE\\Quorvel";
  for (std::int32_t n : {0, 1, -1, 1000, INT_MAX, INT_MIN}) {
    store.WriteNumber(key, "N", n);
    EXPECT_EQ(store.ReadNumber(key, "N", 42), n);
    EXPECT_EQ(store.ReadFlag(key, "N", n == 0), n != 0);
  }
  store.WriteFlag(key, "UOXSupport", true);
  EXPECT_EQ(store.ReadNumber(key, "UOXSupport", 0), 1);
  store.WriteFlag(key, "UOXSupport", false);
  EXPECT_EQ(store.ReadNumber(key, "UOXSupport", 5), 0);
  EXPECT_FALSE(store.ReadFlag(key, "UOXSupport", true));
  store.WriteText(key, "Text", "12");
  EXPECT_EQ(store.ReadText(key, "text", ""), "12");
}

TEST_F(RegistryStore, EmptyKeyPathReadsTheDefaultAtOnce) {
  TKVXFile store("Quorvel", skRegistry);
  store.WriteText("", "Here", "stored");
  EXPECT_EQ(store.ReadText("", "Here", "default"), "default");
  TKVXFile full("HKEY_CURRENT_USER", skRegistry);
  EXPECT_EQ(full.ReadText("\\SOFTWARE\\Quorvel", "Here", ""), "stored");
}

TEST_F(RegistryStore, BasePathFollowsTheName) {
  EXPECT_EQ(TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).Name(), "");
  EXPECT_EQ(TKVXFile("HKEY_local_machine", skRegistry).Name(), "");
  EXPECT_EQ(TKVXFile("hkey_local_machine", skRegistry).Name(), "\\SOFTWARE\\hkey_local_machine\\");
  EXPECT_EQ(TKVXFile("HKEY_Anything", skRegistry).Name(), "");
  EXPECT_EQ(TKVXFile("Quorvel", skRegistry).Name(), "\\SOFTWARE\\Quorvel\\");
  EXPECT_EQ(TKVXFile(" Quorvel ", skRegistry).Name(), "\\SOFTWARE\\ Quorvel \\");
  EXPECT_EQ(TKVXFile("hkey_x", skRegistry).Name(), "\\SOFTWARE\\hkey_x\\");
  EXPECT_EQ(TKVXFile("", skRegistry).Name(), "\\SOFTWARE\\");
  EXPECT_EQ(TKVXFile("   ", skRegistry).Name(), "\\SOFTWARE\\");
}

TEST_F(RegistryStore, RootKeyFollowsTheExactName) {
  TKVXFile machine("HKEY_LOCAL_MACHINE", skRegistry);
  TKVXFile user("HKEY_CURRENT_USER", skRegistry);

  // A product name lands below the current user's SOFTWARE key.
  TKVXFile product("Quorvel", skRegistry);
  product.WriteText("Options", "Font", "Courier");
  EXPECT_EQ(user.ReadText("\\SOFTWARE\\Quorvel\\Options", "Font", ""), "Courier");
  EXPECT_NE(User(), "");
  EXPECT_EQ(Machine(), "");

  // A root name in another case after the prefix is no root: the current user, no base path.
  TKVXFile lower("HKEY_local_machine", skRegistry);
  lower.WriteText("\\SOFTWARE\\Lower", "v", "1");
  EXPECT_EQ(user.ReadText("\\SOFTWARE\\Lower", "v", ""), "1");
  EXPECT_EQ(machine.ReadText("\\SOFTWARE\\Lower", "v", "none"), "none");
  EXPECT_EQ(Machine(), "");

  // A leading backslash changes nothing.
  machine.WriteText("SOFTWARE\\Quorvel", "UOXSupport", "x");
  EXPECT_EQ(machine.ReadText("\\SOFTWARE\\Quorvel", "UOXSupport", ""), "x");
  EXPECT_EQ(user.ReadText("\\SOFTWARE\\Quorvel", "UOXSupport", "none"), "none");
  EXPECT_NE(Machine(), "");
}

// Refusals of the hive files themselves; the Win32 registry has no file to protect.
#ifndef _WIN32

TEST_F(RegistryStore, RefusedWritesFail) {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteText(kConfigs + "\\Original Configuration", "Ext", "001");
  const std::string hive = Machine();
  chmod(registry.MachineHive().c_str(), 0444);
  // The store's text, and the reason on a second line.
  const std::string reason =
      "\nCannot write the registry file " + registry.MachineHive().string() + ": Permission denied";

  EXPECT_EQ(ErrorText([&] { store.WriteText(kConfigs, "Current", "x"); }),
            "Failed to set data for 'Current'" + reason);
  EXPECT_EQ(ErrorText([&] { store.WriteNumber(kConfigs + "\\New", "NextExt", 2); }),
            "Failed to set data for 'NextExt'" + reason);
  EXPECT_EQ(ErrorText([&] { store.WriteFlag("\\SOFTWARE\\Quorvel", "UOXSupport", true); }),
            "Failed to set data for 'UOXSupport'" + reason);
  // A key that stays is reported rather than shown as removed.
  EXPECT_EQ(ErrorText([&] { store.RemoveKey(kConfigs + "\\Original Configuration"); }),
            "Failed to set data for '" + kConfigs + "\\Original Configuration'" + reason);
  // Writing what is stored already is no change, and no failure.
  EXPECT_NO_THROW(store.WriteText(kConfigs + "\\Original Configuration", "Ext", "001"));
  // Reads go on.
  EXPECT_EQ(store.ReadText(kConfigs + "\\Original Configuration", "Ext", ""), "001");
  EXPECT_EQ(Machine(), hive);
}

TEST_F(RegistryStore, AHomeThatCannotHoldHivesRefusesWrites) {
  test::WriteBytes(registry.Home() / "plain-file", "");
  setenv("QUORVEL_REGISTRY", (registry.Home() / "plain-file" / "home").c_str(), 1);
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  EXPECT_EQ(store.ReadText(kConfigs, "Current", "d"), "d");
  EXPECT_EQ(ErrorText([&] { store.WriteText(kConfigs, "Current", "x"); }),
            "Failed to set data for 'Current'\nCannot lock the registry file (" +
                (registry.Home() / "plain-file" / "home" / ".system.reg.lock").string() +
                "): Not a directory");
  std::vector<std::string> list{"stale"};
  store.ListSubKeys(kConfigs, list);
  EXPECT_TRUE(list.empty());
}
#endif

} // namespace
} // namespace qv

#include "DemoInstall.h"

#include <cstdlib>
#include <fstream>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace qv::demo {

namespace {

const char* const kGameKey = "\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0";

void WriteFile(const std::filesystem::path& file, const std::vector<std::string>& lines) {
  platform::WriteLines(file.string(), lines);
}

} // namespace

bool RegistryHasGame() {
  auto registry = platform::OpenRegistry();
  auto key = registry->OpenKey(platform::RootKey::LocalMachine, kGameKey,
                               platform::Registry::Access::Read);
  return key && key->QueryValue("ExePath").has_value();
}

void CreateDemoInstallation(const std::filesystem::path& dir) {
  const auto game = dir / "game";
  const auto home = dir / "registry";
  std::filesystem::create_directories(game);
  std::filesystem::create_directories(home);

  WriteFile(game / "UO.CFG", {"Sound=on", "Music=on", "MusicVolume=12", "SoundVolume=10",
                              "CacheSize=2048", "SaveJournal=on", "JournalSaveFile=Journal.Log"});
  WriteFile(game / "MACROS.TXT", {"F1 0 0 0", "Say Hail!", "########"});
  WriteFile(game / "LOGIN.CFG", {";Ultima Online login servers", ";",
                                 "LoginServer=login.example.net,7775"});
  WriteFile(game / "version.txt", {"Demo installation", "2.0.0"});
  WriteFile(game / "Patchlog", {"Demo patch log: nothing was patched."});
  WriteFile(game / "Journal.Log", {"Demo journal."});

  setenv("QUORVEL_REGISTRY", home.string().c_str(), 1);
  auto registry = platform::OpenRegistry();
  auto key = registry->CreateKey(platform::RootKey::LocalMachine, kGameKey);
  if (!key || !key->SetValue("ExePath", platform::RegValue::Text((game / "client.exe").string())))
    throw Error("Cannot write the demo registry in " + home.string());
}

} // namespace qv::demo

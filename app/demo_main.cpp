// quorvel-demo: tells ./run whether the registry home knows the game, and creates a demo game
// installation (hive and game directory) when it does not.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "DemoInstall.h"
#include "platform/Registry.h"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--has-game")
    return qv::demo::RegistryHasGame() ? 0 : 1;
  if (command == "--create" && argc > 2) {
    try {
      qv::demo::CreateDemoInstallation(std::filesystem::absolute(argv[2]));
      return 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quorvel-demo: %s\n", e.what());
      return 2;
    }
  }
  std::fprintf(stderr, "usage: quorvel-demo --has-game | --create DIR\n");
  return 2;
}

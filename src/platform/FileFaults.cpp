#include "platform/FileFaults.h"

namespace qv::platform {

namespace {
FileFaultHook& Hook() {
  static FileFaultHook hook;
  return hook;
}
} // namespace

void SetFileFaultHook(FileFaultHook hook) {
  Hook() = std::move(hook);
}

int InjectedFileFault(FileStep step, const std::string& hostPath) {
  const auto& hook = Hook();
  return hook ? hook(step, hostPath) : 0;
}

} // namespace qv::platform

// The questions before a save: the game running, files changed by another program.

#include "core/SaveGuards.h"
#include "platform/GameProcess.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"

namespace qv {

bool TfrmMain::ConfirmSaveGuards() {
  if (platform::IsGameRunning(state.exePath) &&
      !ui::ConfirmDefaultNo(ui::FromUtf8(kGameRunningText)))
    return false;
  const std::vector<std::string> changed = ChangedSetFiles(state);
  return changed.empty() || ui::ConfirmDefaultNo(QString::fromStdString(ChangedFilesText(changed)));
}

} // namespace qv

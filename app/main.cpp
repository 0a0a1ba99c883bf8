// Quorvel: edits the Ultima Online client's settings while the game is not running.

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

#include "core/MainProc.h"
#include "core/SaveGuards.h"
#include "platform/ProcessLock.h"
#include "ui/About.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"

int main(int argc, char** argv) {
  // With arguments it is a command for launchers and scripts: no window, so no display needed.
  if (argc > 1)
    return qv::cli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  // For measuring the start and for tests: no modal loop waits for a user.
  const bool exitAfterShow = qEnvironmentVariableIntValue("QUORVEL_EXIT_AFTER_SHOW") == 1;

  // One program per game: a second one's save would undo what the first one saved. Taken before
  // the window exists, so that the second one leaves the files alone from its start.
  qv::platform::ProcessLock gameLock;
  const std::string gameDir = qv::ReadGameDir();
  if (!qv::LockGameDirectory(gameLock, gameDir)) {
    const std::string text = qv::AlreadyOpenText(gameDir);
    std::fprintf(stderr, "quorvel: %s\n", text.c_str());
    if (!exitAfterShow)
      qv::ui::ShowInformation(QString::fromStdString(text));
    return 1;
  }

  // Creating the window runs StartUp and MakeFirstRunCopies.
  qv::TfrmMain window;

  // The about box, shrunk to its two top lines, says that the configuration is being read; the
  // main window closes it once the current set has been read on its first show.
  auto* loading = new qv::ui::TfrmAbout(&window);
  loading->ShowLoading();
  window.setLoadingWindow(loading);

  window.show();

  // End as soon as the first show has read the configuration and the window has painted.
  if (exitAfterShow)
    QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });

  return QApplication::exec();
}

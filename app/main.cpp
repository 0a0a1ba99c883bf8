// Quorvel: edits the Ultima Online client's settings while the game is not running.

#include <QApplication>
#include <QTimer>

#include "ui/About.h"
#include "ui/Main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));

  // Creating the window runs StartUp and MakeFirstRunCopies.
  qv::TfrmMain window;

  // The about box, shrunk to its two top lines, says that the configuration is being read; the
  // main window closes it once the current set has been read on its first show.
  auto* loading = new qv::ui::TfrmAbout(&window);
  loading->ShowLoading();
  window.setLoadingWindow(loading);

  window.show();

  // For measuring the start: end as soon as the first show has read the configuration and the
  // window has painted.
  if (qEnvironmentVariableIntValue("QUORVEL_EXIT_AFTER_SHOW") == 1)
    QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });

  return QApplication::exec();
}

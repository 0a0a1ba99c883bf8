#include <QApplication>
#include <QLabel>

// Placeholder start until the main window lands.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvel");
  QLabel label("Quorvel");
  label.setWindowTitle("Quorvel");
  label.resize(320, 120);
  label.setAlignment(Qt::AlignCenter);
  label.show();
  return app.exec();
}

// quorix: the desktop program. The start-up routine runs before any window
// exists; it either loads and shows the main window or relaunches the
// program and ends this process.
#include <QApplication>
#include <memory>

#include "mainform.h"
#include "qt_services.h"
#include "visual_styles.h"

int main(int argc, char* argv[]) {
  // Read (and clear) before anything can start a child process.
  const bool relaunched = quorix::startup::TakeRelaunchMarker();

  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral(QUORIX_DESKTOP_FILE));
#ifdef _WIN32
  quorix::platform::QtServices services("notepad.exe");
#else
  quorix::platform::QtServices services;  // xdg-open as the viewer
#endif

  std::unique_ptr<quorix::MainForm> window;
  quorix::startup::VisualStylesStartup(
      services,
      [&] {
        window = std::make_unique<quorix::MainForm>(services);
        window->show();
      },
      relaunched);
  if (!window) return 0;  // nothing to show: the window could not be made
  return app.exec();
}

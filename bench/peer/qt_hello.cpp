// The lightest Qt Widgets program that shows a window: the floor against
// which the time to Quorix's main window being shown is measured.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label("hello");
  label.setWindowTitle("Qt hello");
  label.show();
  return app.exec();
}

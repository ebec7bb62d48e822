#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  QMainWindow window;
  window.setWindowTitle("Pellora");
  window.show();
  return app.exec();
}

// Program entry: the application, its title, the main window and the event loop. The
// program ends when the main window closes. No command-line arguments or environment
// settings are read by the tool itself.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/Unit1.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  try {
    // The application title names the program where the desktop lists running programs:
    // the X11 class of every window (WM_CLASS), the task switcher, and the menu entry
    // flashwrendel.desktop that the window is matched to. It is deliberately not the
    // display name, which Qt would append to every window and box title.
    QApplication::setApplicationName(QStringLiteral("quorvane's Flash Wrendel utilite"));
    QApplication::setDesktopFileName(QStringLiteral("flashwrendel"));
    TForm1 Form1;
    Form1.show();
    QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QString(), QString::fromLocal8Bit(error.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, QString(), QString());
  }
  return 0;
}

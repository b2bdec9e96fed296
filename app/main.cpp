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
    QApplication::setApplicationDisplayName(QStringLiteral("quorvane's Flash Wrendel utilite"));
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

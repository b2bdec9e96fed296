// Grabs the main window for the documentation:
//   window_screenshot <database.ini> <out.png> [<dump.bin>]
// After its start-up; or, given a dump, after one Start that reads the simulated 16 MiB
// module into it in Manual mode against a wrong MD5, so that the log shows lines of each
// colour. Message boxes are written to stderr instead of being shown; run it offscreen.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>

#include "app/Unit1.h"
#include "sim/in_process_usb.h"
#include "sim/sim_bus.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s <database.ini> <out.png> [<dump.bin>]\n", argv[0]);
    return 2;
  }
  TForm1 form;
  AppContext& ctx = form.context();
  ctx.databasePath = argv[1];
  ctx.now = [] { return (10 * 3600 + 15 * 60) / 86400.0; };  // a steady picture
  bool failed = false;
  form.messageHook = [&failed](const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    failed = true;
  };
  form.show();
  QCoreApplication::sendPostedEvents(&form, QEvent::MetaCall);  // the first-show handler
  QCoreApplication::processEvents();
  if (failed)
    return 1;
  sim::SimBus bus;
  if (argc == 4) {
    bus.AddProgrammer();
    ctx.bindUsb = sim::InProcessBinder(bus);
    const std::string dump = argv[3];
    form.fileDialogHook = [&dump](FileDialog, const std::string&) { return dump; };
    qobject_cast<QAbstractButton*>(form.Widget(Control::CheckBox1))->click();
    qobject_cast<QAbstractButton*>(form.Widget(Control::RadioButton2))->click();
    qobject_cast<QLineEdit*>(form.Widget(Control::MD5_check))->setText(QString(32, u'0'));
    qobject_cast<QAbstractButton*>(form.Widget(Control::btnStart))->click();
    QCoreApplication::processEvents();
  }
  if (!form.grab().save(QFile::decodeName(argv[2]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return failed ? 1 : 0;
}

// Grabs the main window after its start-up for the documentation:
//   window_screenshot <database.ini> <out.png>
// Message boxes are written to stderr instead of being shown; run it offscreen.
#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <cstdio>

#include "app/Unit1.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <database.ini> <out.png>\n", argv[0]);
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
  if (!form.grab().save(QFile::decodeName(argv[2]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}

#include "app/window_font.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>

namespace {

constexpr int kFontPixels = 11;  // Tahoma 8 pt at 96 dpi

const QString kTahoma = QStringLiteral("Tahoma");
const QString kLiberationSans = QStringLiteral("Liberation Sans");

// Debian's fonts-wine ships a Tahoma with Tahoma's metrics (regular, and bold for the
// Cancel button) but does not register it with fontconfig; the program loads it itself.
// Nothing is loaded once a Tahoma is known, so repeated calls add nothing.
void LoadWineTahoma() {
  if (QFontDatabase::hasFamily(kTahoma))
    return;
  for (const char* path :
       {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
    if (QFile::exists(QString::fromLatin1(path)))
      QFontDatabase::addApplicationFont(QString::fromLatin1(path));
  }
}

QFont Sized(QFont font) {
  font.setPixelSize(kFontPixels);
  return font;
}

}  // namespace

QList<QFont> WindowFontChoices() {
  LoadWineTahoma();
  QList<QFont> choices;
  if (QFontDatabase::hasFamily(kTahoma)) {
    QFont tahoma = QApplication::font();
    tahoma.setFamily(kTahoma);
    choices.append(Sized(tahoma));
  }
  // Liberation Sans has Arial's widths, a little wider than Tahoma's: slightly narrowed,
  // "Erase FLASH" and "Write FLASH" keep their last letter.
  if (QFontDatabase::hasFamily(kLiberationSans)) {
    QFont liberation = QApplication::font();
    liberation.setFamily(kLiberationSans);
    liberation.setStretch(QFont::SemiCondensed);
    choices.append(Sized(liberation));
  }
  // The usual desktop default, DejaVu Sans, is much wider than Tahoma: condensed, it
  // keeps the captions inside their fixed control sizes.
  QFont narrowed = QApplication::font();
  narrowed.setStretch(QFont::Condensed);
  choices.append(Sized(narrowed));
  return choices;
}

QFont WindowFont() {
  return WindowFontChoices().constFirst();
}

// The window's font: Tahoma 8 pt, or the nearest face this machine has.
#pragma once

#include <QFont>
#include <QList>

// The faces the window can use, best first, each at Tahoma 8 pt's 11 pixels: Tahoma
// (installed, or Wine's metric-compatible copy loaded from its files), Liberation Sans,
// and the desktop's own font narrowed. The last is always there.
QList<QFont> WindowFontChoices();

// The first of WindowFontChoices().
QFont WindowFont();

// The three file dialogs of the main window, run modally.
#pragma once

#include <QString>
#include <optional>

#include "app/window_ops.h"

class QWidget;

// Opens `dialog` at `current` (its last chosen path, may be empty) and returns the
// absolute path chosen, or nothing when the operator cancels.
std::optional<QString> RunFileDialogBox(QWidget* parent, FileDialog dialog, const QString& current);

#include "app/digest_box.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <algorithm>

DigestBox::DigestBox(QWidget* parent) : QLineEdit(parent) {
  // Fold every change, keeping the cursor where it was.
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
    const QString lower = text.toLower();
    setToolTip(lower);
    if (lower == text)
      return;
    const int cursor = cursorPosition();
    setText(lower);
    setCursorPosition(std::min(cursor, static_cast<int>(lower.size())));
  });
}

void DigestBox::ShowText(const QString& text) {
  setText(text);
  home(false);  // setText leaves the cursor at the end, which scrolls a long digest
}

// A plain click selects the whole digest; a drag still selects a part of it.
void DigestBox::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && !hasSelectedText())
    selectAll();
}

void DigestBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason)  // not for its own context menu
    home(false);
}

// The single-line edit box that holds a digest: lower case whether typed or set, shown
// from its first character, the whole text as its tooltip and selected in full by a
// click, so that a digest can be read, copied and compared.
#pragma once

#include <QLineEdit>

class DigestBox : public QLineEdit {
 public:
  explicit DigestBox(QWidget* parent);

  // Sets the text (folded to lower case) and shows it from its first character.
  void ShowText(const QString& text);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

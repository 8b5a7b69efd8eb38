#pragma once

#include <QValidator>

// The typing limits of a text box: at most Limit characters (0 = no limit), and,
// for tax names, only characters that Windows-1251 can hold. Unlike a maximum
// length, the limit stops the user only: a longer text put into the box from the
// document (a settings file may bring one) is shown whole and can be shortened.
class TBoxValidator : public QValidator {
 public:
  TBoxValidator(int limit, bool cp1251Only, QObject* parent);

  State validate(QString& input, int& pos) const override;

  // Accepts text as the box's current text before it is set from the document.
  void Allow(const QString& text) { Current = text; }

 private:
  int Limit;
  bool Cp1251Only;
  mutable QString Current;
};

#include "ui/BoxValidator.h"

#include "document/Cp1251.h"

TBoxValidator::TBoxValidator(int limit, bool cp1251Only, QObject* parent)
    : QValidator(parent), Limit(limit), Cp1251Only(cp1251Only) {}

QValidator::State TBoxValidator::validate(QString& input, int&) const {
  if (Cp1251Only) {
    for (char32_t c : input.toUcs4()) {
      if (!IsCp1251Character(c)) return Invalid;
    }
  }
  const bool longer = input.size() > Current.size();
  if (Limit > 0 && input.size() > Limit && longer) return Invalid;
  Current = input;
  return Acceptable;
}

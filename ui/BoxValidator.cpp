#include "ui/BoxValidator.h"

#include "document/Cp1251.h"

TBoxValidator::TBoxValidator(int limit, bool cp1251Only, QObject* parent)
    : QValidator(parent), Limit(limit), Cp1251Only(cp1251Only) {}

// A paste that would make the text too long keeps the first characters it brings, as a
// box with a maximum length does; a key typed into a full box is refused.
QValidator::State TBoxValidator::validate(QString& input, int& pos) const {
  if (Cp1251Only) {
    for (char32_t c : input.toUcs4()) {
      if (!IsCp1251Character(c)) return Invalid;
    }
  }
  if (Limit > 0 && input.size() > Limit && input.size() > Current.size()) {
    // What was inserted ends at the cursor; what stands before and after it was there
    // before (a selection it replaced is gone).
    const qsizetype after = input.size() - pos;
    qsizetype start = 0;
    while (start < pos && start < Current.size() - after && input[start] == Current[start]) ++start;
    const bool kept = input.mid(pos) == Current.right(after);
    const qsizetype room = Limit - (start + after);
    if (!kept || room <= 0) return Invalid;
    input.remove(start + room, pos - start - room);
    pos = static_cast<int>(start + room);
  }
  Current = input;
  return Acceptable;
}

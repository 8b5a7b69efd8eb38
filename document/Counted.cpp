#include "document/Counted.h"

TCountForm CountForm(std::size_t n) {
  const std::size_t lastTwo = n % 100;
  const std::size_t last = n % 10;
  if (last == 1 && lastTwo != 11) return TCountForm::One;
  if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) return TCountForm::Few;
  return TCountForm::Many;
}

std::string Counted(std::size_t n, const char* one, const char* few, const char* many) {
  const TCountForm form = CountForm(n);
  return std::to_string(n) + " " + (form == TCountForm::One ? one : form == TCountForm::Few ? few : many);
}

#include "register/FailureBox.h"

namespace {

const char* const LineBreak = "\r\n";
const char* const WhatToCheck = "Проверьте кабель, питание ККМ и выбранный порт.";
const char* const PlugInAgain = "Подключите адаптер и повторите.";

}  // namespace

std::string LinkFailureBox(const std::string& first, const TLinkFailure& failure, const std::string& after) {
  std::string box = first;
  const std::string words = FailureReasonWords(failure.Reason);
  if (!words.empty()) box += LineBreak + ("Причина: " + words);
  box += LineBreak + std::string(failure.Reason == TFailureReason::PortRemoved ? PlugInAgain : WhatToCheck);
  if (!after.empty()) box += LineBreak + after;
  return box;
}

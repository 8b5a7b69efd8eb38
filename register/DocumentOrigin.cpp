#include "register/DocumentOrigin.h"

#include <charconv>
#include <optional>

#include "document/LocalTime.h"
#include "register/Connect.h"

namespace {

std::optional<int> NumberIn(const std::string& text) {
  int number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return number;
}

}  // namespace

TRegisterOrigin RegisterOriginOf(const TKkmConnection& connection, const std::tm& when) {
  return {KkmNumberText(connection.Address), DottedVersion(connection.Version), TimeStampText(when).substr(0, 16),
          connection.Device};
}

bool NamesOtherRegister(const TDocumentOrigin& origin, const TKkmConnection& connection) {
  if (!origin) return false;
  const std::optional<int> named = NumberIn(origin->Number);
  return named && named != NumberIn(KkmNumberText(connection.Address));
}

std::string OtherRegisterText(const TRegisterOrigin& origin, const TKkmConnection& connection) {
  return "Установки прочитаны из ККМ № " + origin.Number + ", а подключена ККМ № " + KkmNumberText(connection.Address) +
         ".";
}

bool ConfirmOtherRegister(const TDocumentOrigin& origin, const TKkmConnection& connection, TUserMessages& messages) {
  if (!NamesOtherRegister(origin, connection)) return true;
  return messages.ConfirmCarefully(OtherRegisterText(*origin, connection) + " Записать их в ККМ № " +
                                   KkmNumberText(connection.Address) + "?");
}

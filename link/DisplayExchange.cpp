#include "link/DisplayExchange.h"

#include <algorithm>
#include <array>

#include "document/Cp1251.h"
#include "link/KkmFrames.h"

namespace {

using TLineBytes = std::array<std::uint8_t, DisplayLineLength>;

TLineBytes LineBytes(const std::string& text) {
  TLineBytes bytes;
  bytes.fill(' ');
  const std::string encoded = Utf8ToCp1251(Utf8Left(text, DisplayLineLength));
  std::copy_n(encoded.begin(), std::min(encoded.size(), bytes.size()), bytes.begin());
  return bytes;
}

bool ReadLine(TKkmLink& link, std::uint16_t address, std::string& text) {
  TLineBytes bytes{};
  if (!ReadMemory(link, address, DisplayLineLength, bytes.data())) return false;
  text = Cp1251ToUtf8(std::string(bytes.begin(), bytes.end()));
  return true;
}

bool WriteLine(TKkmLink& link, std::uint16_t address, const TLineBytes& bytes) {
  if (!WriteMemory(link, address, bytes.data(), bytes.size())) return false;
  WriteMemoryByte(link, DisplayUpdate, 1);  // the display shows what it shows either way
  return true;
}

}  // namespace

bool DisplayExchange(TKkmLink& link, std::string& line1, std::string& line2) {
  TLinkOperation operation(link, {"DisplayExchange"});
  const TLineBytes first = LineBytes(line1);
  const TLineBytes second = LineBytes(line2);
  if (!ReadLine(link, DisplayFirstLine, line1)) return operation.Result(false);
  if (!ReadLine(link, DisplaySecondLineReadBack, line2)) return operation.Result(false);
  return operation.Result(WriteLine(link, DisplayFirstLine, first) && WriteLine(link, DisplaySecondLine, second));
}

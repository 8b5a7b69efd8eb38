#pragma once

#include <string>
#include <string_view>

// What a settings file is written in. The program writes Windows-1251; files that
// other editors saved are taken as well, and a save over such a file keeps what it is:
// - a file that starts with the UTF-16 mark (FF FE or FE FF) is UTF-16 of that byte
//   order, as the system's own profile functions read and keep it;
// - a file that starts with the UTF-8 mark (EF BB BF) is UTF-8;
// - a file without a mark is UTF-8 only when all its bytes are valid UTF-8, at least
//   one character lies beyond ASCII, and one of the three section headers of the
//   settings stands in it in UTF-8 but none in Windows-1251; every other file is
//   Windows-1251.
enum class TFileEncoding { Cp1251, Utf8, Utf8Marked, Utf16Le, Utf16Be };

TFileEncoding SettingsFileEncoding(std::string_view bytes);

// The bytes of a settings file as the profile reader takes them: Windows-1251.
// Characters that Windows-1251 cannot hold become '?'.
std::string SettingsFileText(std::string bytes);

// The text of a file in UTF-16 or UTF-8, as UTF-8 without its mark; a malformed
// sequence becomes U+FFFD. Only for the Unicode encodings.
std::string UnicodeFileText(std::string_view bytes, TFileEncoding encoding);

// UTF-8 text as the bytes of a file in that Unicode encoding, with its mark where it
// has one.
std::string UnicodeFileBytes(std::string_view text, TFileEncoding encoding);

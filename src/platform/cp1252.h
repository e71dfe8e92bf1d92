#pragma once
// Text fields hold one byte per character, in Windows-1252, so that a field's
// width counts characters. These functions convert at the edges (SQLite
// columns, CSV, windows, printing), where text is UTF-8 or QString.

#include <optional>
#include <string>
#include <string_view>

class QString;

namespace kestrel::platform::cp1252 {

// Every byte maps to a character (the five bytes Windows-1252 leaves
// undefined map to the C1 controls of the same value), so decoding never fails.
QString toQString(std::string_view bytes);
std::string toUtf8(std::string_view bytes);

// Encoding fails on a character that Windows-1252 cannot hold; *bad (if
// given) receives that character for the message.
std::optional<std::string> fromQString(const QString& text, QString* bad = nullptr);
std::optional<std::string> fromUtf8(std::string_view utf8, QString* bad = nullptr);

// Upper case of one Windows-1252 character (letters with accents included),
// the case folding used by case-insensitive keys and locators.
char toUpper(char c);
std::string toUpper(std::string_view bytes);
bool isAlpha(char c);

} // namespace kestrel::platform::cp1252

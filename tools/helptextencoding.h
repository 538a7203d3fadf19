#pragma once

#include <QByteArray>
#include <QString>

// The help file is read by the program as Windows code page 1251 with CR LF line ends; the text itself is
// kept as UTF-8 with LF line ends so it can be edited anywhere.
namespace cp1251 {

// The code page byte for a character, or 0 when the code page has none (NUL itself is never wanted).
char fromUnicode(char16_t ch);

// Converts the whole text, line ends to CR LF. Throws std::runtime_error naming the line and the character
// when a character has no byte in the code page or is a control character other than tab.
QByteArray encodeText(const QString &text);

} // namespace cp1251

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tk {

// Code page 1251 exists only at the file boundary. Decoding is total: every byte maps to a character.
// 0x98 is unassigned in the code page and NUL has no place in a text line: both become U+FFFD, so the
// reader sees that something was there rather than losing the rest of the text.
QString decodeCp1251(QByteArrayView bytes);

// Characters outside the code page become "?".
QByteArray encodeCp1251(const QString &text);

} // namespace tk

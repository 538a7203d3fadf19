#pragma once

#include <QString>

namespace tk {

// The most characters a text box holds. Laying out a line that offers no place to wrap costs time that
// grows with the square of its length: 64 K such characters take a quarter of a second here, 256 K four
// seconds, a megabyte two minutes of a frozen window. No text this program shows comes near the limit
// (the longest interpretation has under 1400 characters, the help text a few thousand).
inline constexpr qsizetype kMemoCapacity = 65535;

inline constexpr char16_t kMemoCapacityMessage[] = u"Text exceeds memo capacity";

// Every line break as CR LF: CR LF stays, a lone LF or a lone CR becomes CR LF.
QString adjustLineBreaks(const QString &text);

} // namespace tk

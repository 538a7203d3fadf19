#pragma once

#include <QLoggingCategory>

// Why a sound could not be played: what SDL and alsa-lib report, and which images are refused. The
// components report nothing and the program keeps no log, so it is off by default;
// QT_LOGGING_RULES="ormex.sound.debug=true" shows it.
Q_DECLARE_LOGGING_CATEGORY(lcSound)

namespace tk {

// alsa-lib writes every failure (no sound card, an unknown device) to standard error unless its error
// handler is replaced; this sends them to lcSound instead. It loads libasound for that, so it is called
// when the first sound is played, and does nothing where the library is missing.
void routeAlsaErrors();

} // namespace tk

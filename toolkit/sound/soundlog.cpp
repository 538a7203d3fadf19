#include "toolkit/sound/soundlog.h"

#include "toolkit/sound/librarysymbols.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>

Q_LOGGING_CATEGORY(lcSound, "ormex.sound", QtInfoMsg)

namespace tk {

namespace {

// alsa-lib's handler type (asoundlib.h), spelt out so that the build needs no ALSA headers.
using AlsaErrorHandler = void (*)(const char *file, int line, const char *function, int error,
                                  const char *format, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler);

void alsaError(const char *file, int line, const char *function, int error, const char *format, ...)
{
    if (!lcSound().isDebugEnabled())
        return;
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    if (error != 0)
        qCDebug(lcSound, "ALSA %s:%d (%s) %s (error %d)", file, line, function, message, error);
    else
        qCDebug(lcSound, "ALSA %s:%d (%s) %s", file, line, function, message);
}

} // namespace

void routeAlsaErrors()
{
    static const bool routed = [] {
        // The same library SDL's ALSA driver uses, whether SDL links it or loads it later: one soname is
        // one copy in the process. The handle stays open, since the handler is kept inside.
        void *handle = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return false;
        SetAlsaErrorHandler set = nullptr;
        return resolveSymbol(handle, "snd_lib_error_set_handler", set) && set(&alsaError) == 0;
    }();
    (void)routed;
}

} // namespace tk

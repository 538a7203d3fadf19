#pragma once

// SDL's audio functions, resolved from the shared library when the first sound is played. The library
// and the two dozen libraries it links against stay out of the process until then, and nothing from SDL
// is linked into the program: the build needs its headers only.

#include <SDL.h>

namespace tk::sdl {

// The library name the run-time linker knows SDL 2 by.
inline constexpr const char *kLibraryName = "libSDL2-2.0.so.0";

// Exactly the functions the wave output calls.
struct AudioApi {
    decltype(&SDL_SetHint) SetHint = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_Quit) Quit = nullptr;
    decltype(&SDL_LogSetOutputFunction) LogSetOutputFunction = nullptr;
    decltype(&SDL_GetError) GetError = nullptr;
    decltype(&SDL_RWFromConstMem) RWFromConstMem = nullptr;
    decltype(&SDL_LoadWAV_RW) LoadWAV_RW = nullptr;
    decltype(&SDL_FreeWAV) FreeWAV = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&SDL_BuildAudioCVT) BuildAudioCVT = nullptr;
    decltype(&SDL_ConvertAudio) ConvertAudio = nullptr;
};

// Opens the library (its handle is kept for the rest of the process) and fills api. False, with api
// untouched, when the library is missing or lacks one of the functions.
bool loadAudioApi(const char *library, AudioApi &api);

} // namespace tk::sdl

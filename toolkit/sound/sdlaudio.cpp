#include "toolkit/sound/sdlaudio.h"

#include "toolkit/sound/librarysymbols.h"

#include <dlfcn.h>

namespace tk::sdl {

bool loadAudioApi(const char *library, AudioApi &api)
{
    // RTLD_LOCAL keeps SDL's symbols from standing in for anyone else's. The handle is never closed:
    // SDL's threads and atexit users may still run code from it until the process ends.
    void *handle = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return false;
    AudioApi loaded;
    const bool complete = resolveSymbol(handle, "SDL_SetHint", loaded.SetHint) &&
                          resolveSymbol(handle, "SDL_InitSubSystem", loaded.InitSubSystem) &&
                          resolveSymbol(handle, "SDL_QuitSubSystem", loaded.QuitSubSystem) &&
                          resolveSymbol(handle, "SDL_Quit", loaded.Quit) &&
                          resolveSymbol(handle, "SDL_LogSetOutputFunction", loaded.LogSetOutputFunction) &&
                          resolveSymbol(handle, "SDL_GetError", loaded.GetError) &&
                          resolveSymbol(handle, "SDL_RWFromConstMem", loaded.RWFromConstMem) &&
                          resolveSymbol(handle, "SDL_LoadWAV_RW", loaded.LoadWAV_RW) &&
                          resolveSymbol(handle, "SDL_FreeWAV", loaded.FreeWAV) &&
                          resolveSymbol(handle, "SDL_OpenAudioDevice", loaded.OpenAudioDevice) &&
                          resolveSymbol(handle, "SDL_CloseAudioDevice", loaded.CloseAudioDevice) &&
                          resolveSymbol(handle, "SDL_PauseAudioDevice", loaded.PauseAudioDevice) &&
                          resolveSymbol(handle, "SDL_BuildAudioCVT", loaded.BuildAudioCVT) &&
                          resolveSymbol(handle, "SDL_ConvertAudio", loaded.ConvertAudio);
    if (!complete)
        return false;
    api = loaded;
    return true;
}

} // namespace tk::sdl

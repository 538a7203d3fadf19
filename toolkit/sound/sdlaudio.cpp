#include "sdlaudio.h"

#include <dlfcn.h>

namespace tk::sdl {

namespace {

template <class Function> bool resolve(void *handle, const char *name, Function &target)
{
    void *address = ::dlsym(handle, name);
    if (!address)
        return false;
    target = reinterpret_cast<Function>(address);
    return true;
}

} // namespace

bool loadAudioApi(const char *library, AudioApi &api)
{
    // RTLD_LOCAL keeps SDL's symbols from standing in for anyone else's. The handle is never closed:
    // SDL's threads and atexit users may still run code from it until the process ends.
    void *handle = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return false;
    AudioApi loaded;
    const bool complete = resolve(handle, "SDL_SetHint", loaded.SetHint) &&
                          resolve(handle, "SDL_InitSubSystem", loaded.InitSubSystem) &&
                          resolve(handle, "SDL_Quit", loaded.Quit) &&
                          resolve(handle, "SDL_GetError", loaded.GetError) &&
                          resolve(handle, "SDL_RWFromConstMem", loaded.RWFromConstMem) &&
                          resolve(handle, "SDL_LoadWAV_RW", loaded.LoadWAV_RW) &&
                          resolve(handle, "SDL_FreeWAV", loaded.FreeWAV) &&
                          resolve(handle, "SDL_OpenAudioDevice", loaded.OpenAudioDevice) &&
                          resolve(handle, "SDL_CloseAudioDevice", loaded.CloseAudioDevice) &&
                          resolve(handle, "SDL_PauseAudioDevice", loaded.PauseAudioDevice) &&
                          resolve(handle, "SDL_NewAudioStream", loaded.NewAudioStream) &&
                          resolve(handle, "SDL_AudioStreamPut", loaded.AudioStreamPut) &&
                          resolve(handle, "SDL_AudioStreamFlush", loaded.AudioStreamFlush) &&
                          resolve(handle, "SDL_AudioStreamAvailable", loaded.AudioStreamAvailable) &&
                          resolve(handle, "SDL_AudioStreamGet", loaded.AudioStreamGet) &&
                          resolve(handle, "SDL_FreeAudioStream", loaded.FreeAudioStream);
    if (!complete)
        return false;
    api = loaded;
    return true;
}

} // namespace tk::sdl

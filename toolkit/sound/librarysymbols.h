#pragma once

#include <dlfcn.h>

namespace tk {

// Points target at the function name of a library opened with dlopen, with the type it is declared with;
// false, with target left alone, when the library lacks it.
template <class Function> bool resolveSymbol(void *library, const char *name, Function &target)
{
    void *address = ::dlsym(library, name);
    if (!address)
        return false;
    target = reinterpret_cast<Function>(address);
    return true;
}

} // namespace tk

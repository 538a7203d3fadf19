#pragma once

namespace tk {

// The first step of every control's setters: compare, store. True when value was new, so that the setter
// then repaints or invalidates as its property asks.
template <class T, class V> bool assignNew(T &field, const V &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace tk

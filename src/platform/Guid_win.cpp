#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>

#include <cstring>

#include "platform/Guid.h"

ZrGuid NewGuid() {
    GUID native{};
    CoCreateGuid(&native);
    ZrGuid g;
    g.Data1 = native.Data1;
    g.Data2 = native.Data2;
    g.Data3 = native.Data3;
    std::memcpy(g.Data4, native.Data4, 8);
    return g;
}

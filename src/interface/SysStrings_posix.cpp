// The three string exports of the POSIX library: hosts ported from Windows allocate and free the
// boundary strings through them, exactly as through oleaut32.
#include "platform/Bstr.h"

extern "C" {

BSTR SysAllocStringLen(const char16_t* aText, uint32_t aLength) {
    return AllocBstr(aText, aLength);
}

void SysFreeString(BSTR aText) {
    FreeBstr(aText);
}

uint32_t SysStringLen(BSTR aText) {
    return BstrLength(aText);
}
}

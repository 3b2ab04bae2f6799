#include <new>

#include "platform/Bstr.h"

Text BstrToText(BSTR aValue) {
    if (aValue == nullptr) {
        return Text();
    }
    return Text(reinterpret_cast<const char16_t*>(aValue), SysStringLen(aValue));
}

BSTR TextToBstr(const Text& aText) {
    if (aText.empty()) {
        return nullptr;
    }
    BSTR out =
        SysAllocStringLen(reinterpret_cast<const OLECHAR*>(aText.data()), static_cast<UINT>(aText.size()));
    if (out == nullptr) {
        throw std::bad_alloc();
    }
    return out;
}

BSTR AllocBstr(const char16_t* aText, uint32_t aLength) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(aText), aLength);
}

void FreeBstr(BSTR aText) {
    SysFreeString(aText);
}

uint32_t BstrLength(BSTR aText) {
    return SysStringLen(aText);
}

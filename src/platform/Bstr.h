#pragma once
// Boundary strings. On Windows the real oleaut32 BSTR; on POSIX our own with the same layout.
#include "ZRPA_RIVEVEDEV17_10.h"
#include "base/Text.h"

// A null BSTR reads as the empty text.
Text BstrToText(BSTR aValue);
// The empty text becomes a null BSTR, as the hosts expect for "no output".
BSTR TextToBstr(const Text& aText);
// The system's string allocator: oleaut32 on Windows, our own of the same layout elsewhere (the POSIX
// library exports it as SysAllocStringLen, SysFreeString and SysStringLen). AllocBstr gives null when
// memory runs out or the length does not fit; aText null gives aLength NUL characters.
BSTR AllocBstr(const char16_t* aText, uint32_t aLength);
void FreeBstr(BSTR aText);
// Characters of aText; 0 for null.
uint32_t BstrLength(BSTR aText);

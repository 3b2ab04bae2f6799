#pragma once
// Boundary strings. On Windows the real oleaut32 BSTR; on POSIX our own with the same layout.
#include "base/Text.h"
#include "ZRPA_RIVEVEDEV17_10.h"

// A null BSTR reads as the empty text.
Text BstrToText(BSTR aValue);
// The empty text becomes a null BSTR, as the hosts expect for "no output".
BSTR TextToBstr(const Text& aText);

#pragma once
// The leading words of the two failures a host must tell from every other, because they decide whether
// it may simply try again:
//   "Not performed:"   nothing that could move money reached the terminal; it is safe to try again;
//   "Outcome unknown:" the terminal may have done it; look before trying again.
// Hosts, zrpa and the device log's readers match these words; keep them as they are.
#include "base/Text.h"

inline constexpr TextView kNotPerformedWords = u"Not performed:";
inline constexpr TextView kOutcomeUnknownWords = u"Outcome unknown:";

// "Not performed: the request was not sent to the terminal (" + aReason + "). It is safe to try again."
// aReason says what stopped it ("cancelled by the host").
Text NotPerformedText(const Text& aReason);

// True when aErrorText begins with aWords.
bool BeginsWith(const Text& aErrorText, TextView aWords);

// The reason of a cancel signal raised by the CANCEL export.
inline constexpr TextView kCancelledByHost = u"cancelled by the host";

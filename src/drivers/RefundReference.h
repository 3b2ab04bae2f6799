#pragma once
// The refund reference: the 34 characters a payment hands to the host so that a later void can name it.
// Base 36 packs STAN, card, acquirer, amount and date; the authorisation code travels as it is.
#include <cstdint>

#include "base/Currency.h"
#include "base/DateTime.h"
#include "base/Text.h"

inline constexpr std::size_t kRefundReferenceLength = 34;

// Raises ZrError for a negative value (base 36 has no sign).
Text CalcRefundReference(std::int64_t aStan, std::int64_t aPanLast4, std::int64_t aAcquirer, Currency aAmount,
                         const Text& aAuthCode, TDateTime aDateTime);

// The fields of the void message: STAN (6 digits), "C" + last four card digits, acquirer (11 digits),
// amount in cents (8 digits), authorisation code (6 characters), "ddmmyyhhnn". Never fails; a damaged
// reference gives wrong fields (IsWellFormedRefundReference tells them apart).
void DecodeRefundReference(const Text& aReference, Text& aStan, Text& aPan, Text& aAcquirer, Text& aAmount,
                           Text& aAuthCode, Text& aDateTime);

// Exactly 34 characters, base-36 digits where base 36 is packed and printable ASCII in the
// authorisation code, and every packed value within the digits of its field in the void message, so that
// every field unpacks to what was packed.
bool IsWellFormedRefundReference(const Text& aReference);

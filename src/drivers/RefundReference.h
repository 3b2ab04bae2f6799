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

// The refund reference of an approved payment, from its answer's fields as the terminal sent them: the
// STAN and the acquirer may carry blanks around their digits; the card field may carry blanks, NULs
// and "-" around and between its characters, and its last four remaining characters are the digits a
// void names; the authorisation code may hold any character a void can send back (IsVoidableAuthCode).
// Empty when a field cannot travel back in a void, with aWhy saying which field and why.
Text RefundReferenceOfAnswer(const Text& aStan, const Text& aCard, const Text& aAcquirer, Currency aAmount,
                             const Text& aAuthCode, TDateTime aDateTime, Text& aWhy);

// A character of an authorisation code that a reference can carry and a void can send back as the byte
// it came as: printable ASCII and the printable Latin-1 letters and signs (U+00A0 to U+00FF).
bool IsVoidableAuthCodeCharacter(char16_t aChar);

// The amount a well-formed refund reference names; false for any other text.
bool RefundReferenceAmount(const Text& aReference, Currency& aAmount);

// The fields of the void message: STAN (6 digits), "C" + last four card digits, acquirer (11 digits),
// amount in cents (8 digits), authorisation code (6 characters), "ddmmyyhhnn". Never fails; a damaged
// reference gives wrong fields (IsWellFormedRefundReference tells them apart).
void DecodeRefundReference(const Text& aReference, Text& aStan, Text& aPan, Text& aAcquirer, Text& aAmount,
                           Text& aAuthCode, Text& aDateTime);

// Exactly 34 characters, base-36 digits where base 36 is packed and IsVoidableAuthCodeCharacter in the
// authorisation code, and every packed value within the digits of its field in the void message, so that
// every field unpacks to what was packed.
bool IsWellFormedRefundReference(const Text& aReference);

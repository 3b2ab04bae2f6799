#pragma once
// The two lines of a device log that let a technician read a day from the log alone: after the banner,
// what the host asked; at the end of the operation, what the host was told. Fixed form, after the time
// stamp and " - ":
//   Request: <ACTION> | amount=<a> | currency=<c> | print=<ECR|EFT> | till=<t> | reference=<r>
//   Result: <outcome> | code=<0|-1> | stan=<s> | auth=<a> | card=<masked> | amount=<a> | elapsed=<n> ms
//           | error=<text> [| note=<text>]
// Fields that do not belong to the operation are left out; request values are cut by CutValue.
#include <cstdint>
#include <optional>

#include "base/Text.h"
#include "payment/Payment.h"

// ACTION is PAY, REFUND or VOID by the request's action; a void's reference is its refund reference.
Text PaymentRequestLine(const kPaymentReceipt& aPayment);
// REPRINT, and VERIFY for the verification of the last transaction: the print location only.
Text ReprintRequestLine(const kPaymentReceipt& aPayment, const Text& aAction);
// DAY CLOSE or TOTALS: print location and till code.
Text ClosingRequestLine(const Text& aAction, ZrPrintLocation aPrintLocation, const Text& aTillCode);

// The outcome: "approved" without Error; "outcome unknown" when the error text begins with "Outcome
// unknown"; "declined" when the terminal answered (aAnswered) with a refusal; "failed" otherwise.
Text OperationOutcome(bool aError, const Text& aErrorText, bool aAnswered);

// aElapsedMs: since the operation began; aNote: the device's fOperationNote, added when not empty.
Text ResultLine(const _int_PAY_result& aResult, std::int64_t aElapsedMs, const Text& aNote);
// The same with the amount the terminal moved in place of the record's when aMoved holds one.
Text ResultLine(const _int_PAY_result& aResult, std::int64_t aElapsedMs, const Text& aNote,
                const std::optional<Currency>& aMoved);
Text ResultLine(const _int_REPRINT_result& aResult, std::int64_t aElapsedMs, const Text& aNote);
Text ResultLine(const _int_DAYCLOSE_result& aResult, std::int64_t aElapsedMs, const Text& aNote);
Text ResultLine(const _int_GETTOTALS_result& aResult, std::int64_t aElapsedMs, const Text& aNote);

// A card number as a log may show it: every digit but the last four replaced by "*", blanks dropped.
Text MaskedCardNumber(const Text& aPan);

#pragma once
// Card data as the library and its tools may show it: a card number keeps at most its first six and its
// last four digits, track data (what the magnetic stripe holds) is starred out. Every function returns a
// text of the length it was given, so a field stays where its layout puts it and a receipt keeps its
// lines; each works on byte texts (std::string, the tools) and on the driver's UTF-16 texts alike. Only
// the standard library is used, so the tools mask what they show without linking the driver.
#include <cstddef>
#include <string>

// aField holds a card number and nothing else (the answers' card field): every digit after the sixth and
// before the last four becomes '*'. A field of ten digits or fewer, of zeros only, or already masked
// comes back unchanged; blanks and other characters stay where they are.
template <typename TString> TString MaskCardNumber(const TString& aField);

// Free text (receipt text, the terminal's own descriptions). A card number in it is a run of twelve
// digits or more, with single blanks or dashes allowed between them, counted from its first digit other
// than 0 (no card number begins with 0, so zero-filled amounts and counters are left alone): it is masked
// as MaskCardNumber masks a field. Track 1 ("%B", the number, "^", name, "^", data, "?") and
// track 2 (";", the number, "=", data, "?"), also without their start sentinel, become '*' to their end
// sentinel, except the "^" of track 1, which receipt text reads as a width switch.
// aMayContinue: the text may go on in a next piece (a receipt frame), so a run of more than six digits at
// its end shows its first six only: it may be the start of a card number.
template <typename TString> TString MaskCardData(const TString& aText, bool aMayContinue = false);

// aText masked as the continuation of aBefore, the unmasked text that came right before it and was shown
// masked with aMayContinue set: card data that began in aBefore is caught where it goes on. Tracks span
// at most 79 characters, so the last hundred characters of what came before are enough.
template <typename TString>
TString MaskCardDataAfter(const TString& aBefore, const TString& aText, bool aMayContinue);

// How much of what came before MaskCardDataAfter needs.
constexpr std::size_t kCardDataContext = 100;

// A data message from the terminal as a log may show it (aPayload: the text between STX and the
// terminator, or what came of it: aCut when the terminator never came). Receipt text (code letter "S",
// or aReceipt while the receipt is collected) by MaskCardDataAfter with aBefore; an answer to
// aRequestCode by its layout: the card field by MaskCardNumber where the answer reads it, the text
// fields it reads (the terminal's descriptions) and every position it does not read by MaskCardData.
// Numbers, amounts, totals, dates and the header are left as they are. A message of no known layout is
// masked as free text. What a cut message ends with shows its first six digits only.
template <typename TString>
TString P17MaskTerminalMessage(const TString& aPayload, bool aCut, char aRequestCode, bool aReceipt,
                               const TString& aBefore);

#pragma once
// The terminal's reading and writing of message fields, through the message layouts the driver uses
// (drivers/P17Messages.h): a field is described once, and the emulator and the driver agree on it by
// construction. What keeps them honest is the tests' bytes written out by hand.
#include <string>

#include "drivers/P17Messages.h"

namespace p17emu {

// The code letter of a request or answer text; '?' when the text ends before it.
char CodeOf(const std::string& aText);

// The field aName of the request aText (by its code letter's layout); empty when the request has no such
// field or ends before it, shorter when it ends inside it. A payment may carry a reference longer than its
// field, as the driver sends an over-long one whole: the reference is read whole, and what follows it
// where it moved to.
std::string RequestField(const std::string& aText, P17Name aName);

// The field aName of the answer aText to the request aRequestCode, whether or not the driver reads it
// for this answer; empty when that answer has no such field or ends before it.
std::string AnswerField(char aRequestCode, const std::string& aText, P17Name aName);

// Why the terminal refuses the request aText of code aCode, or empty when it is as the terminal expects:
// the header, the length, and each field as its layout says (fixed texts as given, digits where numbers
// go, flags "0" or "1", the void's card as "C" and four digits).
std::string RequestProblem(char aCode, const std::string& aText);

// An answer or receipt text written field by field through its layout: each value at its field, cut or
// filled with blanks to the field's width. Positions no field of the layout covers are zeros, as the
// terminal sends them (position 9, the three before the payment's amount); those of fields left out are
// blanks.
class AnswerText {
public:
    explicit AnswerText(const P17Layout& aLayout) : fLayout(aLayout) {}
    // The answer to aRequestCode; the reprint answer's layout (the header alone) for a request that has
    // no answer of its own.
    explicit AnswerText(char aRequestCode);

    AnswerText& Put(P17Name aName, const std::string& aValue);
    // The field aName as zeros.
    AnswerText& Zeros(P17Name aName);
    // Zeros after the last field until the text is aLength characters long.
    AnswerText& ZerosTo(std::size_t aLength);
    // The field aName as written so far (empty when it is not).
    std::string Get(P17Name aName) const;
    const std::string& Text() const { return fText; }

private:
    void FillTo(std::size_t aLength);

    const P17Layout& fLayout;
    std::string fText;
};

} // namespace p17emu

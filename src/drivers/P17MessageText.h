#pragma once
// The message layouts (P17Messages.h) over the driver's texts: request texts built from their layouts,
// answers read through theirs, receipt text cut into lines. Every character of a message travels as one
// byte, so the texts pass to and from the byte layouts unchanged.
#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "base/Text.h"
#include "drivers/P17Messages.h"

struct P17TextValue {
    P17Name Name;
    Text Value;
};

// The request text of aCode (one of the request layouts) with these values, as P17Build lays them out.
Text P17RequestText(char aCode, std::initializer_list<P17TextValue> aValues);

// The field aName of the request aCode; raises ZrError when the layouts have no such field.
const P17Field& P17RequestField(char aCode, P17Name aName);

// The receipt text cut into the lines the cash register prints (P17ReceiptLines), each followed by
// CR LF; no lines give the empty text.
Text BreakReceiptLines(TextView aText);

// One answer of the terminal read through the answer layout of its request. Refers to the payload, which
// must outlive it.
class kP17Answer {
public:
    // aRequestCode: a request that has an answer layout ("X", "A", "Q", "R", "C", "T").
    kP17Answer(char aRequestCode, const Text& aPayload);

    // The characters of the field aName, whether or not this answer reads it; shorter or empty when the
    // answer ends early. Raises ZrError when the layout has no such field.
    Text operator[](P17Name aName) const;
    // True when the layout reads the field aName for this answer's result code, code letter and
    // conversion flag.
    bool Reads(P17Name aName) const;

private:
    const P17Layout& fLayout;
    const Text& fPayload;
    P17AnswerKey fKey;
};

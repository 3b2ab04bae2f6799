#include "payment/CommandOutcome.h"

Text NotPerformedText(const Text& aReason) {
    return Text(kNotPerformedWords) + u" the request was not sent to the terminal (" + aReason +
           u"). It is safe to try again.";
}

bool BeginsWith(const Text& aErrorText, TextView aWords) {
    return TextView(aErrorText).substr(0, aWords.size()) == aWords;
}

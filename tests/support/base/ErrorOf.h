#pragma once
// The helpers of every test that checks an error text.
#include <functional>
#include <string>

#include "base/Text.h"
#include "base/ZrError.h"

// The message of the TError (ZrError or a class derived from it) that aCall raised, or "<no error>" when
// it raised none. Any other exception reaches the test.
template <typename TError = ZrError> Text ErrorOf(const std::function<void()>& aCall) {
    try {
        aCall();
    } catch (const TError& e) {
        return e.Message();
    }
    return u"<no error>";
}

// A text as UTF-8, for readable failure messages.
inline std::string U8(const Text& aText) {
    return TextToUtf8(aText);
}

#include "base/ZrError.h"

ZrError::ZrError(Text aMessage) : fMessage(std::move(aMessage)), fUtf8(TextToUtf8(fMessage)) {}

Text ExceptionMessage(const std::exception& e) {
    if (const auto* z = dynamic_cast<const ZrError*>(&e)) {
        return z->Message();
    }
    return Utf8ToText(e.what());
}

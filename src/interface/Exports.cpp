// The nine exports. Each runs on the caller's thread and never lets anything escape.
#include <new>

#include "platform/Bstr.h"

namespace {
template <typename Fn>
int16_t Guarded(BSTR* aOutput, BSTR* aErrorMessage, Fn&& fn) noexcept {
    if (aOutput != nullptr) {
        *aOutput = nullptr;
    }
    if (aErrorMessage != nullptr) {
        *aErrorMessage = nullptr;
    }
    try {
        return fn();
    } catch (...) {
        return -1;
    }
}
}  // namespace

extern "C" {

ZRPA_API int16_t ZRPA_CALL GETSTATUS(BSTR, BSTR* aOutput, BSTR* aErrorMessage) {
    return Guarded(aOutput, aErrorMessage, [&]() -> int16_t {
        *aOutput = TextToBstr(u"<Error>False</Error>");
        return 0;
    });
}

#define ZR_PENDING(name)                                                                                    \
    ZRPA_API int16_t ZRPA_CALL name(BSTR, BSTR* aOutput, BSTR* aErrorMessage) {                             \
        return Guarded(aOutput, aErrorMessage, [&]() -> int16_t {                                           \
            *aErrorMessage = TextToBstr(u"not implemented");                                                \
            return -1;                                                                                      \
        });                                                                                                 \
    }
ZR_PENDING(PAY)
ZR_PENDING(REPRINT)
ZR_PENDING(OPEN)
ZR_PENDING(CLOSE)
ZR_PENDING(DAYCLOSE)
ZR_PENDING(GETTOTALS)
ZR_PENDING(VERIFYTRAN)

ZRPA_API int32_t ZRPA_CALL VERSION(BSTR aDriverName, BSTR* aVersion, BSTR* aErrorMessage) {
    return Guarded(aVersion, aErrorMessage, [&]() -> int16_t {
        *aErrorMessage = TextToBstr(u"Driver [" + BstrToText(aDriverName) + u"] not found");
        return -1;
    });
}
}

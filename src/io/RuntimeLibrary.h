#pragma once
// A system library loaded the first time a channel needs it, so a host whose channels never need it runs
// without it installed (the HTTP channel's libcurl, the spooler's CUPS on POSIX). It stays loaded for the
// life of the process: such libraries keep process-wide state that does not survive an unload.
#include <string>

#include "base/Text.h"
#include "base/ZrError.h"

class tZR_RuntimeLibrary {
public:
    // Loads aFileName for aUser (for example u"The HTTP channel"). Raises, naming both:
    // "<aUser> needs <aFileName>, which cannot be loaded: <the system's reason>".
    tZR_RuntimeLibrary(Text aUser, Text aFileName);

    // Stores the address of the function aName in aFunction. Raises "<aFileName> has no function <aName>"
    // when the installed version lacks it.
    template <typename TFunction> void Bind(TFunction& aFunction, const char* aName) {
        aFunction = reinterpret_cast<TFunction>(Require(aName));
    }

private:
    void* Require(const char* aName) const;

    Text fUser;
    Text fFileName;
    void* fHandle = nullptr;
};

// The function table TApi, filled once per process by aBind(TApi&) (which binds through a
// tZR_RuntimeLibrary). When that first attempt raised, every call raises its message again.
template <typename TApi, typename TBind> const TApi& LoadRuntimeApiOnce(TBind aBind) {
    struct Loaded {
        TApi Api;
        Text Error; // empty when every function was found
    };
    static const Loaded loaded = [&aBind] {
        Loaded result;
        try {
            aBind(result.Api);
        } catch (const ZrError& e) {
            result.Error = e.Message();
        }
        return result;
    }();
    if (!loaded.Error.empty()) {
        throw ZrError(loaded.Error);
    }
    return loaded.Api;
}

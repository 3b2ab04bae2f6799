#include "support/OposTestControls.h"

// No COM here: the channel's platform control answers OPOS_E_NOSERVICE, which its own test checks.
std::vector<OposTestControl> OposTestControls() {
    return {OposTestControl::Fake};
}

std::string RegisterOposTestControl() {
    return "there is no COM registry on this platform";
}

std::string UnregisterOposTestControl() {
    return std::string();
}

FakeState* OposTestControlState(std::string& aError) {
    aError = "there is no COM registry on this platform";
    return nullptr;
}

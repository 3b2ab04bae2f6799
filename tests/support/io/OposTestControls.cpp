#include "support/OposTestControls.h"

std::string OposTestControlName(OposTestControl aControl) {
    return aControl == OposTestControl::Fake ? "Fake" : "Registered";
}

OposControlSession::OposControlSession(OposTestControl aControl) : fControl(aControl) {
    if (fControl == OposTestControl::Fake) {
        fState = std::make_shared<FakeState>();
        return;
    }
    fError = RegisterOposTestControl();
    FakeState* state = fError.empty() ? OposTestControlState(fError) : nullptr;
    if (state == nullptr) {
        return;
    }
    // The DLL owns the state; the test only shares it while the DLL stays loaded (it is never unloaded).
    *state = FakeState{};
    fState = std::shared_ptr<FakeState>(state, [](FakeState*) {});
}

OposControlSession::~OposControlSession() {
    if (fControl == OposTestControl::Registered) {
        UnregisterOposTestControl();
    }
}

std::unique_ptr<tZR_OposFiscalPrinter> OposControlSession::NewControl() const {
    if (fControl == OposTestControl::Fake) {
        return std::make_unique<FakeFiscalPrinter>(fState);
    }
    return tZR_OposFiscalPrinter::Create();
}

Text OposControlSession::Raised(const Text& aMember, const Text& aMessage) const {
    if (fControl == OposTestControl::Fake) {
        return aMessage;
    }
    // DISP_E_EXCEPTION, with the control's description of what went wrong.
    return u"OPOS FiscalPrinter." + aMember + u" failed [0x80020009]: " + aMessage;
}

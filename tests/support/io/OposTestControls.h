#pragma once
// The FiscalPrinter controls the OPOS channel's tests run against: the fake itself everywhere, and on
// Windows the platform's own control (late binding by ProgID through IDispatch) reaching the registered
// test control, which serves the same fake. Each test of the channel runs against every control here.
#include <memory>
#include <string>
#include <vector>

#include "support/FakeFiscalPrinter.h"

enum class OposTestControl {
    Fake,       // the fake, handed to the channel as it is
    Registered, // "OPOS.FiscalPrinter" registered in this machine's (Wine prefix's) COM registry
};

// The controls that exist on this platform, for INSTANTIATE_TEST_SUITE_P.
std::vector<OposTestControl> OposTestControls();
std::string OposTestControlName(OposTestControl aControl);

// One test's control: for Registered, the test control is registered for the session's lifetime and its
// fake's state is the one inside the control's DLL.
class OposControlSession {
public:
    explicit OposControlSession(OposTestControl aControl);
    ~OposControlSession();
    OposControlSession(const OposControlSession&) = delete;
    OposControlSession& operator=(const OposControlSession&) = delete;

    // Empty when the control is ready; otherwise why not.
    const std::string& Error() const { return fError; }
    // The fake's state, reset to its defaults when the session begins.
    const std::shared_ptr<FakeState>& State() const { return fState; }
    // What the channel is given: the fake, or the platform's control that finds the registered one.
    std::unique_ptr<tZR_OposFiscalPrinter> NewControl() const;
    // The text of the error the channel meets when member aMember raises aMessage in the control.
    Text Raised(const Text& aMember, const Text& aMessage) const;

private:
    OposTestControl fControl;
    std::shared_ptr<FakeState> fState;
    std::string fError;
};

// The registered control alone (Windows): registers or unregisters it under "OPOS.FiscalPrinter"; an
// error text when that failed, empty when done. Registering refuses to replace a control that is not the
// test's own.
std::string RegisterOposTestControl();
std::string UnregisterOposTestControl();
// The fake's state inside the registered control's DLL (loaded by the first call); null with aError set.
FakeState* OposTestControlState(std::string& aError);

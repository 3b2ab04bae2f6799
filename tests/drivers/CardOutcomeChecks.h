#pragma once
// Checks shared by the TCP and the serial tests of what a payment, refund or void reports when the line
// fails around the terminal's answer.
#include <functional>
#include <memory>
#include <vector>

#include "drivers/P17Protocol.h"
#include "emulator/TerminalEmulator.h"

// The emulator and the driver over one transport.
class CardRig {
public:
    virtual ~CardRig() = default;
    virtual kP17Protocol& P17() = 0;
    // The channel under P17(), for exchanges the driver itself would not make.
    virtual kIOHandler& Channel() = 0;
    virtual p17emu::TerminalEmulator& Terminal() = 0;
};
using CardRigFactory = std::function<std::unique_ptr<CardRig>(const p17emu::Config&)>;

struct FaultAfterAnswer {
    p17emu::Fault Fault;
    std::size_t FaultAt;
    bool NoteExpected;    // the device must note that the receipt was cut short
    bool ReceiptExpected; // some complete lines came before the fault
    const char* Why;
};

// For PAY, REFUND and VOID printed on the cash register: each fault after the answer leaves the
// approval as it was without the fault, with the complete receipt lines that came before it.
void ExpectApprovalsKept(const CardRigFactory& aRig, const std::vector<FaultAfterAnswer>& aFaults);

struct FaultBeforeAnswer {
    p17emu::Fault Fault;
    Text Reason; // what the outcome-unknown text says happened
    const char* Why;
};

// For PAY, REFUND and VOID: an acknowledged request without a readable answer reports the outcome as
// unknown, with the result record still whole (log file name kept).
void ExpectOutcomeUnknown(const CardRigFactory& aRig, const std::vector<FaultBeforeAnswer>& aFaults,
                          const std::vector<zrPaymentAction>& aActions);

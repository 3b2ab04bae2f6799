#pragma once
// Checks shared by the TCP and the serial tests of what the terminal emulator did with a payment, refund
// or void whose answer never reached the driver, as a till can learn it afterwards: the last receipt (a
// reprint to the cash register) and the period total.
#include <vector>

#include "CardOutcomeChecks.h"

struct LostAnswer {
    p17emu::Fault Fault;
    const char* Why;
};

// Every fault at every moment (before processing, after approving, after declining), the three operations
// and the two printers spread over them, the fault set to hit once: after a payment of 12.34 on the cash
// register, the faulted request leaves the last receipt and the total as the moment says, and the reprint
// and the totals request that follow are answered.
void ExpectTerminalStateAfterLostAnswers(const CardRigFactory& aRig, const std::vector<LostAnswer>& aFaults);

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

// The same faults and moments met by the driver itself, with a journal: each lost answer is resolved
// before the operation returns. No verdict may differ from what the terminal did (before processing and
// after declining: not performed; after approving: approved); the returned figures count the verdicts.
struct RecoveryCount {
    std::size_t Cases = 0;
    std::size_t Conclusive = 0;
    std::size_t Wrong = 0;
};
// With aBothPrinters every case runs with each printer, else the printers alternate. aBaselineWhere: where
// the payment before the faulted request printed (on the terminal, the library never sees its receipt).
// aName labels the figures printed.
RecoveryCount ExpectLostOutcomesResolved(const char* aName, const CardRigFactory& aRig,
                                         const std::vector<LostAnswer>& aFaults, bool aBothPrinters = false,
                                         ZrPrintLocation aBaselineWhere = ZrPrintLocation::pl_ECR);

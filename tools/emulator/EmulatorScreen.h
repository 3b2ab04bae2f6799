#pragma once
// The emulator's own lines on its screen beside the frames: the outcome it chose for each request and
// why, and what it holds. Each is one line, so that a technician reads it at a glance.
#include <string>

#include "TerminalEmulator.h"

namespace p17emu {

// Why the terminal answers request aCode as it does: the request's layout problem (aProblem), the fault
// and its moment, aChosen (the terminal's own reason, such as the void check) or the option that sets
// the result; empty when the terminal simply approves as configured by default.
std::string WhyOutcome(const Config& aConfig, char aCode, const std::string& aProblem, Fault aFault,
                       FaultMoment aWhen, const std::string& aChosen);

// "outcome: payment 12.34 approved (why)": the request aRequest (text between STX and ETX), its
// answer aAnswer (empty: none), aWhy; aNotProcessed: a fault took the request before the terminal
// processed it.
std::string OutcomeLine(char aCode, const std::string& aRequest, const std::string& aAnswer,
                        const std::string& aWhy, bool aNotProcessed);

// "holds: 2 payments, 1 refund, 1 void; total 11.34".
std::string HoldingsLine(const TerminalEmulator::Held& aHeld, std::int64_t aTotalCents);

} // namespace p17emu

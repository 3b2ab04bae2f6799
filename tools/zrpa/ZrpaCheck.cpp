#include <chrono>
#include <iostream>

#include "Console.h"
#include "ZrpaCommands.h"
#include "ZrpaOutput.h"

namespace {
// Where to look when the terminal did not answer, for the link the command line names.
std::string WhatToLookAt(const ZrpaOptions& aOptions) {
    if (!aOptions.Serial.empty()) {
        const std::string device = SerialDeviceNote(aOptions.Serial);
        return "  - the cable between this computer and the terminal, and that the terminal is switched on\n"
               "  - the line settings: --speed " +
               aOptions.Speed + " --data-bits " + aOptions.DataBits + " --parity " + aOptions.Parity +
               " --stop-bits " + aOptions.StopBits +
               " must be the terminal's (its setup menu shows them)\n"
               "  - that no other program holds " +
               aOptions.Serial + " (the till's own program included)\n" +
               (device.empty() ? "" : "  - " + device + "\n");
    }
    return "  - the address " + aOptions.Tcp +
           ": the terminal's setup menu shows its address and port\n"
           "  - that the terminal is switched on, connected to the network and idle (no payment on its "
           "display)\n"
           "  - a firewall between this computer and the terminal (test from the till itself)\n";
}
} // namespace

int RunCheck(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions) {
    ZrpaOptions totals = aOptions;
    totals.Command = "totals";
    ZrpaResult r;
    const auto start = std::chrono::steady_clock::now();
    if (!CallOperation(aLibrary, totals, r)) {
        return kExitUsage;
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    r.Command = "check";
    if (aOptions.Xml || aOptions.Json) {
        std::cout << (aOptions.Xml ? r.Document + "\n" : ResultJson(r));
        return r.ExitStatus;
    }
    const std::string link =
        aOptions.Serial.empty() ? "network " + aOptions.Tcp : "serial " + aOptions.Serial;
    if (r.ExitStatus == kExitDone) {
        r.Outcome = "the terminal answers on " + link;
        std::cout << SummaryText(r) << "  Round trip:        " << ms
                  << " ms (connect, totals request and answer; no money moved)\n";
        return kExitDone;
    }
    r.Outcome = "no answer from the terminal on " + link;
    std::cout << SummaryText(r) << "  After:             " << ms << " ms\n"
              << "Look at:\n"
              << WhatToLookAt(aOptions);
    return r.ExitStatus == kExitUsage ? kExitUsage : kExitFailed;
}

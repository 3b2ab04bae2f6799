// The fault matrix over TCP, against the emulator on 127.0.0.1 (FaultMatrix.h).
#include <gtest/gtest.h>

#include "FaultMatrix.h"
#include "ReliabilityTable.h"
#include "io/Connection.h"
#include "io/IOHandler_TCP.h"
#include "support/TerminalEmulatorFixture.h"

TEST(FaultMatrixTcp, EveryOperationAgainstEveryFault) {
    EmulatedTerminal terminal;
    MatrixTransport tcp;
    tcp.Name = "TCP";
    tcp.Designation = u"127.0.0.1:" + IntToText(terminal.Port());
    tcp.Configure = [&](kConnection& c) {
        c.ConnectionType = zrConnectionType::TCP;
        c.Address = u"127.0.0.1";
        c.Port = terminal.Port();
    };
    tcp.MakeChannel = [](const kConnection& c, const Text& aDir,
                         const Text& aName) -> std::unique_ptr<kIOHandler> {
        return std::make_unique<ShortWaitChannel<kIOHandler_TCP>>(&c, aDir, aName);
    };
    tcp.RequestedWaitMs = [](kIOHandler& aChannel) {
        return static_cast<ShortWaitChannel<kIOHandler_TCP>&>(aChannel).RequestedWaitMs;
    };
    const auto rows = RunFaultMatrix(*terminal, tcp);
    WriteReliabilityTable("fault-matrix-tcp", FaultMatrixHeader(), rows);
}

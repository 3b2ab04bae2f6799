// The fault matrix over a serial line: the emulator on a pseudo-terminal, reached as COM48
// (FaultMatrix.h).
#include <gtest/gtest.h>

#include <cstdlib>

#include "FaultMatrix.h"
#include "ReliabilityTable.h"
#include "io/Connection.h"
#include "io/IOHandler_Serial.h"
#include "support/TerminalEmulatorFixture.h"

TEST(FaultMatrixPty, EveryOperationAgainstEveryFault) {
    p17emu::TerminalEmulator terminal;
    ASSERT_TRUE(terminal.StartPty()) << terminal.Error();
    ::setenv("ZRPA_SERIAL_COM48", terminal.SlavePath().c_str(), 1);
    MatrixTransport serial;
    serial.Name = "serial";
    serial.Designation = u"COM48";
    serial.Configure = [](kConnection& c) {
        c.ConnectionType = zrConnectionType::Serial;
        c.SerialPort = u"COM48";
        c.Speed = 115200;
        c.DataBits = 8;
        c.Parity = zrParity::None;
        c.StopBits = 1;
    };
    serial.MakeChannel = [](const kConnection& c, const Text& aDir,
                            const Text& aName) -> std::unique_ptr<kIOHandler> {
        return std::make_unique<ShortWaitChannel<kIOHandler_Serial>>(&c, aDir, aName);
    };
    serial.RequestedWaitMs = [](kIOHandler& aChannel) {
        return static_cast<ShortWaitChannel<kIOHandler_Serial>&>(aChannel).RequestedWaitMs;
    };
    const auto rows = RunFaultMatrix(terminal, serial);
    ::unsetenv("ZRPA_SERIAL_COM48");
    WriteReliabilityTable("fault-matrix-serial", FaultMatrixHeader(), rows);
}

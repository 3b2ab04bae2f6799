#pragma once
// The driver over the real TCP channel to an in-process emulator on 127.0.0.1.
#include <memory>

#include "drivers/P17Protocol.h"
#include "io/IOHandler_TCP.h"
#include "support/TerminalEmulatorFixture.h"

struct TcpRig {
    explicit TcpRig(const p17emu::Config& aConfig = p17emu::Config()) : Terminal(aConfig) {
        Connection.ConnectionType = zrConnectionType::TCP;
        Connection.Address = u"127.0.0.1";
        Connection.Port = Terminal.Port();
        Channel = std::make_unique<kIOHandler_TCP>(&Connection, Text(), Text());
        P17 = std::make_unique<kP17Protocol>(*Channel, Custom, u"127.0.0.1:" + IntToText(Terminal.Port()));
    }
    EmulatedTerminal Terminal;
    kConnection Connection;
    std::unique_ptr<kIOHandler_TCP> Channel;
    TextList Custom;
    std::unique_ptr<kP17Protocol> P17;
};

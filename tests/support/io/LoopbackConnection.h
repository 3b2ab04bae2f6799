#pragma once
// The connection section of a TCP terminal on this machine, as the channel tests and the driver tests
// build it for an emulated terminal or a closed port.
#include <cstdint>

#include "io/Connection.h"

inline kConnection LoopbackTcp(std::uint16_t aPort) {
    kConnection c;
    c.ConnectionType = zrConnectionType::TCP;
    c.Address = u"127.0.0.1";
    c.Port = aPort;
    return c;
}

#pragma once
// The one place that knows every concrete channel: builds the channel of a connection type.
#include <memory>

#include "base/Text.h"
#include "io/Connection.h"

class kIOHandler;

// The channel of aConnection's type, logging into aDirectory as aFileName (no log when either is empty).
// The channel's constructor may raise (a library that cannot be loaded, a serial port name that is not
// one); a type outside the enumeration raises "Connection Type <n> is not valid". Never null.
std::unique_ptr<kIOHandler> CreateChannel(const kConnection& aConnection, const Text& aDirectory,
                                          const Text& aFileName);

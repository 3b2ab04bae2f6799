#pragma once
// kIOHandler_Com: the channel of connection type Com. It has no transport: it connects with the header
// block only, refuses to write and reads nothing.
#include "io/IOHandler.h"

class kIOHandler_Com : public kIOHandler {
public:
    kIOHandler_Com(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_Com() override;

    bool GetConnected() override { return true; }
    bool Disconnect() override { return true; }
    bool Write(const Text& aMessage) override;
    Text ClassName() const override { return u"kIOHandler_Com"; }
};

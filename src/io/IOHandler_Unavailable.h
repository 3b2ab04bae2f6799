#pragma once
// A channel whose transport is not built yet: it constructs and logs like any channel, and every
// operation fails with a clear message. Channel classes derive from it until their transport exists.
#include "io/IOHandler.h"

class kIOHandler_Unavailable : public kIOHandler {
public:
    using kIOHandler::kIOHandler;

    bool GetConnected() override { return false; }
    bool Connect() override {
        kIOHandler::Connect();
        Debug(tZR_MessageType::let_error, ClassName() + u" is not available in this build");
        return false;
    }
    bool Disconnect() override { return true; }
    bool Write(const Text&) override { return false; }
};

#pragma once
// kIOHandler_Dll: the channel of connection type DLL. Its constructor loads the library named by the
// connection (and fails when it cannot); callers resolve the library's entry points with GetAddress.
#include "io/IOHandler.h"

class kIOHandler_Dll : public kIOHandler {
public:
    // Raises "Unable to Load Library <name>. <system text> [<code>]" when the library cannot be loaded.
    kIOHandler_Dll(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    // Unloads the library (with its two log lines) before the base logs STOP.
    ~kIOHandler_Dll() override;

    bool GetConnected() override { return true; }
    bool Disconnect() override { return true; }
    bool Write(const Text& aMessage) override;
    Text ClassName() const override { return u"kIOHandler_Dll"; }

    // Address of the library's exported procedure aProcName; raises
    // "Unable to get address for procedure <name>" when there is none.
    void* GetAddress(const Text& aProcName);
    void* LibraryHandle() const { return fLibraryHandle; }

private:
    void* fLibraryHandle = nullptr;
};

#include "io/ChannelFactory.h"

#include "base/ZrError.h"
#include "io/IOHandler_Com.h"
#include "io/IOHandler_Dll.h"
#include "io/IOHandler_HTTP.h"
#include "io/IOHandler_OPOS.h"
#include "io/IOHandler_Serial.h"
#include "io/IOHandler_Spool.h"
#include "io/IOHandler_TCP.h"

std::unique_ptr<kIOHandler> CreateChannel(const kConnection& aConnection, const Text& aDirectory,
                                          const Text& aFileName) {
    const kConnection* c = &aConnection;
    switch (aConnection.ConnectionType) {
    case zrConnectionType::OPOS:
        return std::make_unique<kIOHandler_OPOS>(c, aDirectory, aFileName);
    case zrConnectionType::TCP:
        return std::make_unique<kIOHandler_TCP>(c, aDirectory, aFileName);
    case zrConnectionType::HTTP:
        return std::make_unique<kIOHandler_HTTP>(c, aDirectory, aFileName);
    case zrConnectionType::Serial:
        return std::make_unique<kIOHandler_Serial>(c, aDirectory, aFileName);
    case zrConnectionType::DLL:
        return std::make_unique<kIOHandler_Dll>(c, aDirectory, aFileName);
    case zrConnectionType::Com:
        return std::make_unique<kIOHandler_Com>(c, aDirectory, aFileName);
    case zrConnectionType::Spool:
        return std::make_unique<kIOHandler_Spool>(c, aDirectory, aFileName);
    }
    throw ZrError(u"Connection Type " + IntToText(static_cast<int>(aConnection.ConnectionType)) +
                  u" is not valid");
}

#pragma once
// kDeviceHandler: the request's envelope (driver, handle, log id, connection, parameters), and the
// factory of the device's channel.
#include <cstdint>
#include <memory>

#include "base/Text.h"
#include "io/Connection.h"

class kIOHandler;
class XmlDocument;

class kDeviceHandler {
public:
    kDeviceHandler();
    virtual ~kDeviceHandler();
    kDeviceHandler(const kDeviceHandler&) = delete;
    kDeviceHandler& operator=(const kDeviceHandler&) = delete;

    // Parses aXml and reads the envelope. Raises ZrError (parser message or validation message).
    // The returned document stays valid for the command sections that derived classes read.
    std::unique_ptr<XmlDocument> Deserialize(const Text& aXml);
    Text Serialize() const;

    // Builds the channel of the connection type, logging into aLogDir as fDriver + "_" + fLogId.
    std::unique_ptr<kIOHandler> CreateIOHandler(const Text& aLogDir) const;

    // Parameters: names are stored lower-cased; lookups compare the lower-cased name.
    Text GetParameter(const Text& aName) const;
    bool ParameterExists(const Text& aName) const;
    void SetParameter(const Text& aName, const Text& aValue);

    Text fType;
    Text fDriver;
    Text fMethod;
    std::unique_ptr<kConnection> fConnection;
    std::int32_t fDeviceHandle = 0;
    TextList fParameters;
    Text fLogId;
};

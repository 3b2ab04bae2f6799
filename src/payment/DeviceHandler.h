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
    // The envelope as a document (root ReceiptPrinterManager). Raises ZrError for a parameter whose name
    // cannot be an element name.
    Text Serialize() const;

    // Builds the channel of the connection type, logging into aLogDir as fDriver + "_" + fLogId. The
    // driver name and the log id come from the request: the file name is made safe first, so no file is
    // ever created outside aLogDir. Sets HexLog from the parameter of that name. The caller owns it.
    std::unique_ptr<kIOHandler> CreateIOHandler(const Text& aLogDir) const;

    // aName as a plain file name: path separators, characters that no file system accepts and control
    // characters become "_", and the name is shortened to leave room for the log writer's suffixes.
    static Text SafeFileName(TextView aName);

    // Parameters: names read from a request are stored lower-cased; lookups ignore case (ASCII).
    // GetParameter gives the empty text for an unknown name. SetParameter replaces the first line of the
    // name, appends one when there is none, and removes it when aValue is empty.
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
    // Parameters/CommandTimeout: the longest the whole command may wait for its terminal, in
    // milliseconds from the moment its request was read; 0 (absent): the protocol's own waits only.
    // A negative or non-integer value fails the request.
    std::int32_t fCommandTimeout = 0;
};

#pragma once
// kConnection: the connection settings of a request, as the channels read them.
#include <cstdint>

#include "base/Text.h"

enum class zrConnectionType : std::uint8_t { OPOS = 0, TCP = 1, HTTP = 2, Serial = 3, DLL = 4, Com = 5, Spool = 6 };
enum class zrParity : std::uint8_t { None = 0, Even = 1, Odd = 2 };
enum class zrHTTPAuthType : std::uint8_t { at_None = 0, at_Basic = 1, at_Digest = 2, at_Bearer = 3 };
enum class zrSpoolOutputType : std::uint8_t { Raw = 0, Normal = 1 };

class kConnection {
public:
    Text Address;
    std::int32_t Port = 0;
    Text URL;
    zrHTTPAuthType AuthType = zrHTTPAuthType::at_None;
    Text User;
    Text Password;
    Text SerialPort;
    std::int32_t Speed = 0;
    std::int32_t DataBits = 0;
    zrParity Parity = zrParity::None;
    std::int32_t StopBits = 0;
    Text DeviceName;
    Text LibraryName;
    Text PrinterName;
    zrConnectionType ConnectionType = zrConnectionType::OPOS;

    // A time-out of 0 or less keeps the previous value, so a missing one stays at 1000 ms.
    std::int32_t ConnectTimeOut() const { return fConnectTimeOut; }
    void SetConnectTimeOut(std::int32_t aValue) {
        if (aValue > 0) {
            fConnectTimeOut = aValue;
        }
    }
    std::int32_t ReadTimeOut() const { return fReadTimeOut; }
    void SetReadTimeOut(std::int32_t aValue) {
        if (aValue > 0) {
            fReadTimeOut = aValue;
        }
    }

    // Reading lower-cases the text first; an unknown type or parity raises ZrError with the text as given.
    static zrConnectionType ConvertConnectionType(const Text& aText);
    static Text ConnectionTypeToString(zrConnectionType aValue);
    static zrParity ConvertParity(const Text& aText);
    static Text ParityToString(zrParity aValue);
    static zrHTTPAuthType ConvertAuthType(const Text& aText);  // unknown: at_None, no error
    static Text AuthTypeToString(zrHTTPAuthType aValue);

private:
    std::int32_t fConnectTimeOut = 1000;
    std::int32_t fReadTimeOut = 1000;
};

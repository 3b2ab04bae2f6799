#include "io/IOHandler_Spool.h"

#include "base/ZrError.h"

kIOHandler_Spool::kIOHandler_Spool(const kConnection* aConnection, const Text& aDirectory,
                                   const Text& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName) {
    if (aConnection != nullptr) {
        fPrinterName = aConnection->PrinterName;
    }
    fOutputType = zrSpoolOutputType::Normal;
}

kIOHandler_Spool::~kIOHandler_Spool() = default;

bool kIOHandler_Spool::Write(const Text& aMessage) {
    return fOutputType == zrSpoolOutputType::Normal ? WriteNormal() : WriteRaw(aMessage);
}

bool kIOHandler_Spool::WriteNormal() {
    if (fBitmap == nullptr) {
        throw ZrError(u"kIOHandler_Spool.WriteNormal: no bitmap assigned to print on printer " +
                      fPrinterName);
    }
    const std::vector<Text> printers = tZR_PrintSpooler::PrinterNames();
    const Text* found = nullptr;
    for (const Text& name : printers) {
        if (SameTextAscii(name, fPrinterName)) {
            found = &name;
            break;
        }
    }
    if (found == nullptr) {
        throw ZrError(u"kIOHandler_Spool.WriteNormal: Printer " + fPrinterName + u" not found");
    }
    tZR_PrintSpooler::PrintBitmap(*found, u"Varnelo Spool Output", *fBitmap);
    return true;
}

bool kIOHandler_Spool::WriteRaw(const Text& aMessage) {
    std::string bytes;
    try {
        bytes = tZR_PrintSpooler::EncodeText(aMessage, CodePage());
    } catch (const ZrError& e) {
        SetErrorMessage(e.Message());
        return false;
    }
    return SendRaw(bytes);
}

bool kIOHandler_Spool::WriteBytes(const std::vector<std::uint8_t>& aBytes) {
    return SendRaw(std::string(aBytes.begin(), aBytes.end()));
}

bool kIOHandler_Spool::SendRaw(const std::string& aBytes) {
    tZR_PrintSpooler::Failure failure;
    if (tZR_PrintSpooler::WriteRaw(fPrinterName, u"NRV Receipt", aBytes, failure)) {
        return true;
    }
    // The message says why; ErrorFound and ErrorCode are the HTTP and OPOS channels' and stay unchanged.
    SetErrorMessage(failure.Message);
    return false;
}

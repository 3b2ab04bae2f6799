#pragma once
// kIOHandler_Spool: the channel of connection type Spool, a printer of the system's print spooler. Write
// prints the assigned bitmap as one page (Normal) or sends the text as a RAW job (Raw).
#include "io/IOHandler.h"
#include "io/PrintSpooler.h"

class kIOHandler_Spool : public kIOHandler {
public:
    kIOHandler_Spool(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_Spool() override;

    bool GetConnected() override { return true; }
    bool Disconnect() override { return true; }
    // Normal: WriteNormal (aMessage is not used); Raw: WriteRaw(aMessage).
    bool Write(const Text& aMessage) override;
    Text ClassName() const override { return u"kIOHandler_Spool"; }

    // Prints Bitmap as one page, scaled and centred, on the installed printer whose name matches the
    // connection's printer name without regard to case. Raises when no bitmap is assigned, when no such
    // printer is installed, or when printing fails.
    bool WriteNormal();
    // A RAW job of aMessage as 8-bit text (CodePage, 0: the system's ANSI code page). False on failure,
    // with the system's text in ErrorMessage.
    bool WriteRaw(const Text& aMessage);
    // A RAW job of aBytes unchanged.
    bool WriteBytes(const std::vector<std::uint8_t>& aBytes);

    zrSpoolOutputType OutputType() const { return fOutputType; }
    void SetOutputType(zrSpoolOutputType aValue) { fOutputType = aValue; }
    // Not owned: the caller keeps the bitmap alive while the channel may print it.
    const tZR_Bitmap* Bitmap() const { return fBitmap; }
    void SetBitmap(const tZR_Bitmap* aValue) { fBitmap = aValue; }
    const Text& PrinterName() const { return fPrinterName; }

private:
    bool SendRaw(const std::string& aBytes);

    Text fPrinterName;
    zrSpoolOutputType fOutputType = zrSpoolOutputType::Normal;
    const tZR_Bitmap* fBitmap = nullptr;
};

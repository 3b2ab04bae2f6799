#pragma once
// kIOHandler_OPOS: the channel of connection type OPOS, a fiscal printer behind the OPOS FiscalPrinter
// control. It moves no bytes: each fiscal operation logs the call it makes, calls the control and turns
// the result code into the error fields (CheckResult).
#include <memory>

#include "base/DateTime.h"
#include "io/IOHandler.h"
#include "io/OposFiscalPrinter.h"

class kIOHandler_OPOS : public kIOHandler {
public:
    kIOHandler_OPOS(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    // The same channel over a control of the caller's choice (tests).
    kIOHandler_OPOS(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName,
                    std::unique_ptr<tZR_OposFiscalPrinter> aControl);
    // Disconnects when connected, then frees the control.
    ~kIOHandler_OPOS() override;

    bool GetConnected() override { return fConnected; }
    // Open, ClaimDevice(ConnectTimeout), DeviceEnabled := true. Connected becomes true whenever no
    // exception occurred, also when a result code failed (the error fields then say which).
    bool Connect() override;
    // DeviceEnabled := false, ReleaseDevice, Close.
    bool Disconnect() override;
    bool Write(const Text& aMessage) override; // raises "Write Unsupported"
    Text ClassName() const override { return u"kIOHandler_OPOS"; }

    const Text& DeviceName() const { return fDeviceName; }
    void SetDeviceName(const Text& aValue) { fDeviceName = aValue; }

    // --- fiscal operations: true when the control answered OPOS_SUCCESS ---------------------------------
    bool BeginFiscalReceipt();
    bool EndFiscalReceipt();
    bool BeginNonFiscal();
    bool EndNonFiscal();
    bool BeginTraining();
    bool EndTraining();
    bool ResetPrinter();
    bool PrintZReport();
    bool PrintXReport();
    bool PrintNormal(const Text& aText);
    bool PrintRecMessage(const Text& aText);
    bool PrintRecTaxid(const Text& aTaxId);
    // The control receives the quantity in thousandths (1.5 -> 1500); aCode is not used. A quantity whose
    // thousandths do not fit the control's 32-bit argument raises.
    bool PrintRecItem(const Text& aCode, const Text& aDescription, Currency aQuantity, const Text& aUOM,
                      std::int32_t aVatCode, Currency aPrice, Currency aAmount);
    bool PrintRecItemVoid(const Text& aCode, const Text& aDescription, Currency aQuantity, const Text& aUOM,
                          std::int32_t aVatCode, Currency aPrice, Currency aAmount);
    bool PrintRecRefund(const Text& aCode, const Text& aDescription, Currency aQuantity, const Text& aUOM,
                        std::int32_t aVatCode, Currency aPrice, Currency aAmount);
    bool PrintRecItemAdjustment(std::int32_t aAdjType, const Text& aDescription, Currency aAmount,
                                std::int32_t aVatCode);
    bool PrintRecSubtotal(Currency aAmount);
    bool PrintRecSubtotalAdjustment(std::int32_t aAdjType, const Text& aDescription, Currency aAmount);
    bool PrintRecTotal(Currency aTotalAmount, Currency aPaymentAmount, const Text& aDescription);
    bool PrintRecNotPaid(Currency aAmount, const Text& aDescription);
    // The control takes and gives dates as "ddmmyyyyhhnn". SetDate raises for a date-time outside the
    // years 1 to 9999; GetDate raises for an answer that is not such a text, and gives the current date
    // and time when the control fails.
    bool SetDate(TDateTime aDateTime);
    bool GetDate(TDateTime& aDate);
    bool GetData(std::int32_t aDataItem, std::int32_t aOptArgs, Text& aOutput);
    bool DirectIO(std::int32_t aCommand, std::int32_t& aData, Text& aString);

    // --- property operations: always true, no result code ------------------------------------------------
    bool GetCoverOpen(bool& aResult);
    bool GetDayOpened(bool& aResult);
    bool GetRecEmpty(bool& aResult);
    bool GetRecNearEnd(bool& aResult);
    bool GetTrainingModeActive(bool& aResult);
    bool PrinterState(std::int32_t& aPrinterState);
    bool RemainingFiscalMemory(std::int32_t& aRemainingFiscalMemory);
    bool SetPreLine(const Text& aDescription);
    bool SetFiscalReceiptType(std::int32_t aReceiptType);
    // aClear: the trailer becomes aDescription; otherwise aDescription and CR LF are appended to it.
    bool SetAdditionalTrailerLine(const Text& aDescription, bool aClear);

    // Clears the error fields, then records a failing aCode (ResultCodeExtended for OPOS_E_EXTENDED) with
    // its text and an error line. True for OPOS_SUCCESS.
    bool CheckResult(std::int32_t aCode);
    // "[code] NAME", then " [extended] NAME" when aExtended is not 0, then " - " and the control's
    // ErrorString; empty for 0.
    Text ResultCodeToText(std::int32_t aCode, std::int32_t aExtended);

private:
    void Info(const Text& aLine) { Debug(tZR_MessageType::let_info, aLine); }
    std::int32_t QuantityThousandths(Currency aQuantity) const;

    std::unique_ptr<tZR_OposFiscalPrinter> fOPOS;
    Text fDeviceName;
    bool fConnected = false;
};
